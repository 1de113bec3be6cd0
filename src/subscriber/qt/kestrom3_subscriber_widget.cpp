// The Qt widget around the subscriber component: event-loop wiring, signals and painting.
#include "subscriber/qt/kestrom3_subscriber_widget.h"

#include <QPainter>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTimer>

namespace kestrom {

namespace {
// The picture comes from the program's own resources, as an icon resource of the program would.
constexpr const char* kIconResource = ":/KESTROMIII";
constexpr const char* kDesignCaption = "TKESTROM3SUBSCRIBER";
}  // namespace

TKesTrom3SubscriberWidget::TKesTrom3SubscriberWidget(ConsoleLink& link, SubscriberOptions options, QWidget* parent)
    : QWidget(parent), subscriber_(link, std::move(options)) {
    setObjectName("KesTrom3Subscriber");
    resize(32, 32);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { drive(); });
    subscriber_.OnNewFrame = [this](TKesTrom3Subscriber&) { Q_EMIT newFrame(); };
    subscriber_.OnKestClose = [this](TKesTrom3Subscriber&) { Q_EMIT kestClose(); };
    subscriber_.OnKestOpen = [this](TKesTrom3Subscriber&) { Q_EMIT kestOpen(); };
    subscriber_.OnCalibrateDone = [this](TKesTrom3Subscriber&) { Q_EMIT calibrateDone(); };
    subscriber_.setOnScheduleChanged([this] { reschedule(); });
    reschedule();
}

TKesTrom3SubscriberWidget::~TKesTrom3SubscriberWidget() {
    subscriber_.setOnScheduleChanged({});
    subscriber_.OnNewFrame = subscriber_.OnKestClose = subscriber_.OnKestOpen = subscriber_.OnCalibrateDone = nullptr;
}

void TKesTrom3SubscriberWidget::drive() {
    // Handlers that Open or send from inside the component come back here through reschedule().
    driving_ = true;
    subscriber_.pump(std::chrono::milliseconds{0});
    driving_ = false;
    reschedule();
}

void TKesTrom3SubscriberWidget::reschedule() {
    int fd = subscriber_.descriptor();
    if (fd != watched_) {
        // The old notifier may be the one whose signal is being handled.
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_->deleteLater();
            notifier_ = nullptr;
        }
        watched_ = fd;
        if (fd >= 0) {
            notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] {
                if (!driving_) drive();
            });
        }
    }
    if (driving_) return;   // drive() reschedules once it is done
    if (auto next = subscriber_.nextTimerIn())
        timer_->start(static_cast<int>(std::min<std::chrono::milliseconds::rep>(next->count(), 1 << 30)));
    else
        timer_->stop();
}

void TKesTrom3SubscriberWidget::setDesignMode(bool design) {
    designMode_ = design;
    update();
}

void TKesTrom3SubscriberWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (designMode_) {
        painter.drawText(rect(), Qt::AlignCenter, kDesignCaption);
        return;
    }
    QPixmap picture(kIconResource);
    if (picture.isNull()) return;
    painter.drawPixmap(rect(), picture);
}

}  // namespace kestrom
