// The setup dialogs, the recent-file list of the current camera and the save prompt.
#include "console/core/setup_files.h"

#include <filesystem>

#include "console/core/recent_setup_files.h"
#include "console/core/registry_keys.h"

namespace kestrom {

SetupFiles::SetupFiles(ConsoleState& state, RegistryStore& store, DialogService& dialogs,
                       SetupTarget& target)
    : state_(state), dialogs_(dialogs), target_(target), RegCtl1(store) {
    RegCtl1.RegistryName = kControlKey;
    OpenIni.filter = "Setup files (*.setup)|*.setup|All files (*.*)|*.*";
    OpenIni.defaultExtension = "setup";
    OpenIni.fileName = "*.setup";
    SaveDialog.title = "Save setup file to disk (As).";
    SaveDialog.filter =
        "Setup files (*.setup)|*.setup|Text files (*.txt)|*.txt|All Files (*.*)|*.*";
    SaveDialog.defaultExtension = "setup";
    SaveDialog.fileName = "*.setup";
}

void SetupFiles::FileOpen1Execute() {
    std::optional<std::string> chosen = dialogs_.openFile(OpenIni);
    if (!chosen) return;
    OpenIni.fileName = *chosen;
    OpenInit(*chosen);
}

bool SetupFiles::askToSave() {
    return dialogs_.messageBox("Settings were changed by you or via a settings file.",
                               "Do you want to save the new settings?", BoxButtons::YesNo,
                               BoxIcon::Question) == BoxAnswer::Yes;
}

void SetupFiles::offerToSaveSettings() {
    if (askToSave()) FileSaveAs1Execute();
}

void SetupFiles::offerToSaveSettings(const SettingsToSave& settings) {
    if (askToSave()) saveAs(settings);
}

SetupFiles::SettingsToSave SetupFiles::settingsToSave() const {
    SettingsToSave settings;
    settings.offered = !target_.exposureTimeHidden();
    if (settings.offered) settings.panel = target_.panelSettings();
    settings.setupFile = state_.current().SetupFile;
    settings.serial = state_.current().Serial;
    return settings;
}

void SetupFiles::RecordSetupFile(const std::string& file) {
    // The shown camera's list, whichever camera's records were read last.
    kestrom::RecordSetupFile(RegCtl1, state_.current().Serial, file);
}

std::string SetupFiles::lastSetupFile() {
    return kestrom::lastSetupFile(RegCtl1, state_.current().Serial);
}

void SetupFiles::setDialogsDirectory(const std::string& directory) {
    OpenIni.initialDirectory = directory;
    SaveDialog.initialDirectory = directory;
}

std::string SetupFiles::directoryOf(const std::string& file) {
    std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty()) return parent.string();
    std::error_code ec;
    return std::filesystem::current_path(ec).string();
}

}  // namespace kestrom
