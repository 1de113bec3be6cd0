// The status refresh of the current tab from the held status block and factory record.
#include <QLineEdit>

#include "console/camera_tab.h"
#include "console/logo_app_form.h"

namespace kestrom {

void TLogoAppForm::ShowConsoleBlock() {
    CameraSlot& slot = state_.current();
    if (!slot.hasDevice()) return;
    bool settingsChanged = slot.SettingsChanged;
    state_.refreshInProgress = true;

    bool guard = state_.updateGuard;
    state_.updateGuard = true;
    std::int32_t mode = state_.console.mode();
    if (mode < 0 || mode > 7)
        state_.history.append("Invalid Mode value");
    else
        currentTab_->Mode->setText(QString::number(mode));
    state_.updateGuard = guard;

    panel_->showRevisions();
    panel_->applyStatusRules();

    state_.refreshInProgress = false;
    slot.SettingsChanged = settingsChanged;
    update();
}

void TLogoAppForm::RefreshSettings() { panel_->RefreshSettings(); }

}  // namespace kestrom

