// The factory dialog's files: the record as a ".FAC" file and the thermal table as text.
#include <string_view>

#include "common/qt/hourglass.h"
#include "common/qt/modal_owner.h"
#include "maintenance/quorls_magic_dialog.h"
#include "platform/regular_file.h"
#include "viewer/core/frame_file_replace.h"

namespace kestrom {
namespace {

constexpr const char* kFacFilter = "Vantrel factory settings|*.FAC";
constexpr const char* kThermalFileError = "Can't perform one of the following file operations: Open, Seek, Read, Close.";
// A thermal table's text is a few hundred kilobytes at most; the values needed are at its start.
constexpr std::size_t kThermalFileRead = 4u << 20;

}  // namespace

void TQuorlsMagicDialog::fileError(const std::string& lead, const std::string& reason) {
    host_.appendHistory(lead + reason);
    host_.dialogs().messageBox("Error", lead + reason, BoxButtons::Ok, BoxIcon::Error);
}

void TQuorlsMagicDialog::thermalFileError(const std::string& reason) {
    // The box names the operations; the history keeps the system's reason beside it.
    host_.appendHistory(std::string(kThermalFileError) + " " + reason);
    host_.dialogs().messageBox("Temperature File Error", kThermalFileError, BoxButtons::Ok, BoxIcon::Error);
}

void TQuorlsMagicDialog::rememberFolder(const std::string& path) {
    const std::string folder = folderOf(path);
    if (!folder.empty()) dataDirectory_ = folder;
}

void TQuorlsMagicDialog::BitBtn2Click() {
    const ModalOwner owner(this);
    Hourglass hourglass;
    if (!buildRecord()) return;
    FileDialogRequest request;
    request.filter = kFacFilter;
    request.defaultExtension = "FAC";
    request.initialDirectory = dataDirectory_;
    const std::optional<std::string> path = host_.dialogs().saveFile(request);
    if (!path) return;
    rememberFolder(*path);
    const std::string_view bytes(reinterpret_cast<const char*>(record_.bytes.data()), FactoryInfo::kSize);
    if (auto error = replaceFileWhole(*path, {bytes})) fileError("Couldn't open output file. ", error->reason);
}

void TQuorlsMagicDialog::BitBtn1Click() {
    const ModalOwner owner(this);
    Hourglass hourglass;
    FileDialogRequest request;
    request.filter = kFacFilter;
    request.defaultExtension = "FAC";
    request.initialDirectory = dataDirectory_;
    const std::optional<std::string> path = host_.dialogs().openFile(request);
    if (path) {
        rememberFolder(*path);
        // Read only: a record kept on a write-protected medium loads as well.
        const CappedFileRead read = readFileStart(*path, FactoryInfo::kSize);
        if (read.outcome != CappedFileRead::Outcome::Read) {
            fileError("Couldn't open input file. ",
                      read.outcome == CappedFileRead::Outcome::Absent ? "The file does not exist." : read.reason);
            return;
        }
        applyFactoryFile(read.data, record_);
    }
    // Cancelled too: the controls show the record as it is.
    if (!owner.gone()) showRecord();
}

void TQuorlsMagicDialog::BitBtn7Click() {
    const ModalOwner owner(this);
    Hourglass hourglass;
    FileDialogRequest request;
    request.filter = "Thermal files|*.txt|All files|*.*";
    request.defaultExtension = "txt";
    request.fileName = thermalFileName_;
    request.initialDirectory = dataDirectory_;
    const std::optional<std::string> path = host_.dialogs().openFile(request);
    if (!path) return;
    thermalFileName_ = *path;
    rememberFolder(*path);
    const CappedFileRead read = readFileStart(*path, kThermalFileRead);
    if (read.outcome != CappedFileRead::Outcome::Read && read.opened) {
        thermalFileError(read.reason);
        return;
    }
    if (read.outcome != CappedFileRead::Outcome::Read) {
        fileError("Couldn't open thermal file. ",
                  read.outcome == CappedFileRead::Outcome::Absent ? "The file does not exist." : read.reason);
        return;
    }
    thermal_ = parseThermalFile(read.data);
}

void TQuorlsMagicDialog::BitBtn8Click() {
    const ModalOwner owner(this);
    if (thermal_.empty()) {
        host_.dialogs().messageBox("Error", "No data in table", BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    Hourglass hourglass;
    FileDialogRequest request;
    request.filter = "Thermal file|*.txt|All files|*.*";
    request.defaultExtension = "txt";
    request.fileName = thermalFileName_;
    request.initialDirectory = dataDirectory_;
    const std::optional<std::string> path = host_.dialogs().saveFile(request);
    if (!path) return;
    thermalFileName_ = *path;
    rememberFolder(*path);
    const std::string text = formatThermalFile(thermal_);
    if (auto error = replaceFileWhole(*path, {text})) {
        if (error->step == FileReplaceError::Step::Write)
            thermalFileError(error->reason);
        else
            fileError("Couldn't open thermal file. ", error->reason);
    }
}

}  // namespace kestrom
