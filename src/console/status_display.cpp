// The status refresh of the current tab from the held status block and factory record.
#include <QLineEdit>

#include "camera_link/scoped_value.h"
#include "console/camera_tab.h"
#include "console/logo_app_form.h"

namespace kestrom {

void TLogoAppForm::ShowConsoleBlock() {
    CameraSlot& slot = state_.current();
    if (!slot.hasDevice()) return;
    bool settingsChanged = slot.SettingsChanged;
    {
        ScopedValue refreshing(state_.refreshInProgress, true);
        {
            ScopedValue updating(state_.updateGuard, true);
            std::int32_t mode = state_.console.mode();
            if (mode < 0 || mode > 7)
                state_.history.append("Invalid Mode value");
            else
                showText(currentTab_->Mode, QString::number(mode));
        }
        panel_->showRevisions();
        panel_->applyStatusRules();
    }
    slot.SettingsChanged = settingsChanged;
    // Each control repaints itself when what it shows changes; a repaint of the whole window at
    // every frame would redraw every control 48 times a second for nothing.
}

void TLogoAppForm::RefreshSettings() { panel_->RefreshSettings(); }

}  // namespace kestrom

