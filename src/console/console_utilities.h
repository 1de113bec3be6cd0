// The Utilities button of the camera tabs and the utilities dialogs it opens, one per camera slot.
#pragma once

#include <QObject>
#include <QPointer>

#include <array>
#include <memory>

#include "camera_link/camera_slot.h"
#include "maintenance/maintenance_host.h"

namespace kestrom {

class PortLink;
class TCameraTab;
class TLogoAppForm;
class TOKHelpRightDlg;

class ConsoleUtilities : public QObject, public MaintenanceHost {
    Q_OBJECT
public:
    explicit ConsoleUtilities(TLogoAppForm& form);
    ~ConsoleUtilities() override;

    void connectTab(TCameraTab* tab);
    void BitBtn2Click();
    TOKHelpRightDlg* dialog(int slot) const;
    // The console is ending: every dialog closes now.
    void closeAll();

    // MaintenanceHost.
    int currentSlot() const override;
    std::string tabCaption(int slot) const override;
    std::string serialNumberText(int slot) const override;
    FactoryInfo factoryOf(int slot) const override;
    bool pulsedMode(int slot) const override;
    bool cameraGainCorrectionOn(int slot) const override;
    bool privilegedMode() const override;
    bool cameraOpen(int slot) const override;
    bool frameBlockMapped(int slot) const override;
    bool mapRequest(int slot, const Request& request, void* buffer, std::uint32_t length) override;
    void suspendAcquisition(int slot) override;
    void resumeAcquisition(int slot) override;
    bool paused(int slot) const override;
    void setPaused(int slot, bool paused) override;
    void utilityClosed(int slot) override;
    void showServiceControl(int slot, ServiceControl control, bool shown) override;
    void setSetupMode(int slot, bool on) override;
    void appendHistory(const std::string& line) override;
    ConsoleLink& subscriberLink() override;
    SubscriberOptions subscriberOptions() const override;
    RegistryStore& registry() override;
    DialogService& dialogs() override;
    std::string defaultDataDirectory() const override;
    void openHelp() override;

private:
    bool validCameraSlot(int slot) const { return slot >= kFirstCameraSlot && slot <= kLastCameraSlot; }

    TLogoAppForm& form_;
    std::unique_ptr<PortLink> link_;
    std::array<QPointer<TOKHelpRightDlg>, kSlotCount> dialogs_;
};

}  // namespace kestrom
