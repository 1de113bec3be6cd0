// The View button of the camera tabs and the viewer windows it opens, one per camera slot.
#pragma once

#include <QObject>
#include <QPointer>

#include <array>
#include <memory>

#include "camera_link/camera_slot.h"
#include "viewer/viewer_host.h"

namespace kestrom {

class PortLink;
class TCameraTab;
class TLogoAppForm;
class TViewWindow;

class ConsoleViewers : public QObject, public ViewerHost {
    Q_OBJECT
public:
    explicit ConsoleViewers(TLogoAppForm& form);
    ~ConsoleViewers() override;

    void connectTab(TCameraTab* tab);
    void ViewButton1Click();
    TViewWindow* viewer(int slot) const;
    // The console is ending: every viewer closes now.
    void closeAll();

    // ViewerHost.
    int currentSlot() const override;
    std::string tabCaption(int slot) const override;
    std::string serialNumberText() const override;
    FactoryInfo currentFactory() const override;
    void clearPaused(int slot) override;
    void viewerClosed(int slot) override;
    ConsoleLink& subscriberLink() override;
    SubscriberOptions subscriberOptions() const override;
    RegistryStore& registry() override;
    DialogService& dialogs() override;
    std::string defaultDataDirectory() const override;
    void showAbout() override;
    void openHelp() override;

private:
    TLogoAppForm& form_;
    std::unique_ptr<PortLink> link_;
    std::array<QPointer<TViewWindow>, kSlotCount> viewers_;
};

}  // namespace kestrom
