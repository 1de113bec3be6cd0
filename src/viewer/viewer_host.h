// What the view window needs of the console that opens it, so the viewer does not depend on the
// console's window classes.
#pragma once

#include <string>

#include "camera_records/factory_info.h"
#include "platform/dialog_service.h"
#include "platform/registry_store.h"
#include "subscriber/console_link.h"
#include "subscriber/kestrom3_subscriber.h"

namespace kestrom {

class ViewerHost {
  public:
    virtual ~ViewerHost() = default;

    // The console's current tab (its camera slot) and a slot's tab caption.
    virtual int currentSlot() const = 0;
    virtual std::string tabCaption(int slot) const = 0;
    // The text of the serial-number display of the current camera.
    virtual std::string serialNumberText() const = 0;
    // The factory record of the current camera.
    virtual FactoryInfo currentFactory() const = 0;
    virtual void clearPaused(int slot) = 0;
    // The viewer of the slot has closed: the slot has no viewer any more.
    virtual void viewerClosed(int slot) = 0;

    // The viewer's subscriber reaches the console through this link, with these options.
    virtual ConsoleLink& subscriberLink() = 0;
    virtual SubscriberOptions subscriberOptions() const = 0;

    virtual RegistryStore& registry() = 0;
    virtual DialogService& dialogs() = 0;
    // Where frame, bitmap and log files go until the user has chosen a folder (ends with "/").
    virtual std::string defaultDataDirectory() const = 0;
    virtual void showAbout() = 0;
    virtual void openHelp() = 0;
};

}  // namespace kestrom
