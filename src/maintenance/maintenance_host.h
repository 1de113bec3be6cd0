// What the utilities dialog needs of the console that opens it, so that the dialog does not
// depend on the console's window classes. Every call names the dialog's own camera slot.
#pragma once

#include <cstdint>
#include <string>

#include "camera_records/factory_info.h"
#include "camera_records/requests.h"
#include "platform/dialog_service.h"
#include "platform/registry_store.h"
#include "subscriber/console_link.h"
#include "subscriber/kestrom3_subscriber.h"

namespace kestrom {

class MaintenanceHost {
  public:
    virtual ~MaintenanceHost() = default;

    virtual int currentSlot() const = 0;
    virtual std::string tabCaption(int slot) const = 0;
    // The text of the slot's serial-number display.
    virtual std::string serialNumberText(int slot) const = 0;
    virtual FactoryInfo factoryOf(int slot) const = 0;
    // The slot's tab has its pulsed operation selected: the pulsed maps are the ones worked on.
    virtual bool pulsedMode(int slot) const = 0;
    // The slot's gain-correction switch reads "Turn off": the camera corrects gain itself.
    virtual bool cameraGainCorrectionOn(int slot) const = 0;
    virtual bool privilegedMode() const = 0;
    // The slot still holds its camera (a failed request closes it).
    virtual bool cameraOpen(int slot) const = 0;
    // The slot's acquisition thread runs and holds its frame block.
    virtual bool frameBlockMapped(int slot) const = 0;

    // A map request on the slot's camera; a failure writes its line and closes that camera.
    virtual bool mapRequest(int slot, const Request& request, void* buffer, std::uint32_t length) = 0;
    virtual void suspendAcquisition(int slot) = 0;
    virtual void resumeAcquisition(int slot) = 0;
    virtual bool paused(int slot) const = 0;
    virtual void setPaused(int slot, bool paused) = 0;

    // The dialog has closed: the slot forgets it, and the tab's correction switches are read again.
    virtual void utilityClosed(int slot) = 0;

    // The factory dialog's switches: controls of the slot's tab the service engineer may see, and
    // the camera's setup mode.
    enum class ServiceControl { RawGain, CalibrationOff, RawOffset };
    virtual void showServiceControl(int slot, ServiceControl control, bool shown) = 0;
    virtual void setSetupMode(int slot, bool on) = 0;
    // A line for the history, without slot number.
    virtual void appendHistory(const std::string& line) = 0;

    virtual ConsoleLink& subscriberLink() = 0;
    virtual SubscriberOptions subscriberOptions() const = 0;
    virtual RegistryStore& registry() = 0;
    virtual DialogService& dialogs() = 0;
    // Where the bad-pixel files go until the user has chosen a folder (ends with "/").
    virtual std::string defaultDataDirectory() const = 0;
    virtual void openHelp() = 0;
};

}  // namespace kestrom
