// The subscriber component for Qt windows: a small widget that shows its icon and signals its events.
#pragma once

#include <QWidget>
#include <memory>

#include "subscriber/kestrom3_subscriber.h"

class QSocketNotifier;
class QTimer;

namespace kestrom {

// The widget drives its component from the Qt event loop: the link's descriptor wakes it for the
// console's messages and a single-shot timer for the component's own timers. Events become
// signals, emitted while the component raises them, so a directly connected newFrame() handler may
// read FrameData().
class TKesTrom3SubscriberWidget : public QWidget {
    Q_OBJECT
public:
    explicit TKesTrom3SubscriberWidget(ConsoleLink& link, SubscriberOptions options = {}, QWidget* parent = nullptr);
    ~TKesTrom3SubscriberWidget() override;

    TKesTrom3Subscriber& subscriber() { return subscriber_; }
    const TKesTrom3Subscriber& subscriber() const { return subscriber_; }

    // In a form designer the component shows its class name instead of its icon.
    void setDesignMode(bool design);
    bool designMode() const { return designMode_; }

Q_SIGNALS:
    void newFrame();
    void kestClose();
    void kestOpen();
    void calibrateDone();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void reschedule();
    void drive();

    TKesTrom3Subscriber subscriber_;
    QSocketNotifier* notifier_ = nullptr;
    int watched_ = -1;
    QTimer* timer_ = nullptr;
    bool designMode_ = false;
    bool driving_ = false;
};

}  // namespace kestrom
