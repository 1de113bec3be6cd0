// Loading and saving a camera's settings as setup files, the save prompt and the setup dialogs.
#pragma once

#include <cstdint>
#include <string>

#include "camera_link/console_state.h"
#include "console/core/reg_ctl.h"
#include "console/core/setup_keys.h"
#include "console/core/setup_target.h"
#include "platform/dialog_service.h"
#include "platform/registry_store.h"

namespace kestrom {

// Everything acts on the current slot of state and on the camera whose FactoryInfo it holds.
class SetupFiles {
  public:
    SetupFiles(ConsoleState& state, RegistryStore& store, DialogService& dialogs,
               SetupTarget& target);

    // Menu "&Open setup file": the open dialog, then OpenInit with the chosen file.
    void FileOpen1Execute();
    // Loads a setup file into the current slot's camera. Also run when a camera is opened (with
    // its "MRL1") and for a subscriber's setup request.
    void OpenInit(const std::string& file);
    // Menu "Save setup &As...", also run by the save prompt.
    void FileSaveAs1Execute();
    // "Do you want to save the new settings?"; the caller decides when it is offered.
    void offerToSaveSettings();

    // What the save prompt saves of a camera: taken before the camera closes, so that its close
    // runs to its end before the box opens and the box asks about a camera that is settled.
    struct SettingsToSave {
        bool offered = true;     // false while the exposure field is hidden (nothing to save)
        PanelSettings panel;
        std::string setupFile;   // the slot's last setup file, the dialog's proposal
        std::uint32_t serial = 0;
    };
    SettingsToSave settingsToSave() const;
    void offerToSaveSettings(const SettingsToSave& settings);

    // The camera of state's FactoryInfo; these throw RegistryError.
    void RecordSetupFile(const std::string& file);
    std::string lastSetupFile();

    // A camera opened with a recorded setup file makes that file's folder the dialogs' start.
    void setDialogsDirectory(const std::string& directory);
    // The folder of a file name; the current directory for a bare name.
    static std::string directoryOf(const std::string& file);

    const FileDialogRequest& openDialog() const { return OpenIni; }
    const FileDialogRequest& saveDialog() const { return SaveDialog; }
    TRegCtl& regCtl() { return RegCtl1; }

    // PulsePeriod= of a save: 1,000,000 divided by the rate text, truncated toward zero; 0 when
    // the text is no number, is 0, or the period does not fit 32 bits.
    static std::int32_t pulsePeriodFromRate(const std::string& rateText);

  private:
    void applyKey(SetupKey key, std::int32_t value);
    // True when the file was written.
    bool saveAs(const SettingsToSave& settings);
    bool askToSave();

    ConsoleState& state_;
    DialogService& dialogs_;
    SetupTarget& target_;
    TRegCtl RegCtl1;
    // The dialogs keep the name last chosen, as the dialog components do.
    FileDialogRequest OpenIni;
    FileDialogRequest SaveDialog;
};

}  // namespace kestrom
