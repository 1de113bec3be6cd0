// The utilities dialog's gain-map half: making the map from live frames, its exchange with the
// camera and with files, and the entries typed by hand.
#include <QApplication>
#include <QLineEdit>
#include <QStatusBar>

#include "camera_records/requests.h"
#include "common/number_text.h"
#include "common/qt/hourglass.h"
#include "common/qt/modal_owner.h"
#include "maintenance/edit_colours.h"
#include "maintenance/ok_help_right_dlg.h"

namespace kestrom {
namespace {

constexpr const char* kUserError = "User error.";
constexpr const char* kFileError = "File Error";

FileDialogRequest gainFileRequest(bool pulsed, bool open) {
    FileDialogRequest request;
    const char* extension = pulsed ? "gcp" : "gcc";
    if (open) {
        request.title = pulsed ? "Open pulsed gain map file." : "Open chopped gain map file.";
        request.filter = pulsed ? "Gain map (pulsed) (*.gcp)|*.gcp|All Files (*.*)|*.*"
                                : "Gain map (chopped) (*.gcc)|*.gcc|All Files (*.*)|*.*";
    } else {
        request.title = pulsed ? "Save pulsed gain map file." : "Save chopped gain map file.";
        request.filter = pulsed ? "Gain map (Pulsed) (*.gcp)|*.gcp|All Files (*.*)|*.*"
                                : "Gain map (Chopped) (*.gcc)|*.gcc|All Files (*.*)|*.*";
    }
    request.defaultExtension = extension;
    request.fileName = std::string("*.") + extension;
    return request;
}

}  // namespace

void TOKHelpRightDlg::CalculateGainButtonClick() {
    const ModalOwner owner(this);
    if (suspensions_ > 0) {
        host_.dialogs().messageBox(kUserError, "Gain can not be calculated while paused.", BoxButtons::Ok,
                                   BoxIcon::Error);
        return;
    }
    if (host_.cameraGainCorrectionOn(cameraSlot_)) {
        host_.dialogs().messageBox(kUserError, "Gain can not be calculated while being corrected.", BoxButtons::Ok,
                                   BoxIcon::Error);
        return;
    }
    // The hourglass stays until the idle step reports the map complete.
    if (!calculationCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        calculationCursor_ = true;
    }
    calculation_.start();
}

void TOKHelpRightDlg::readGainFromCamera() {
    const bool wasPaused = host_.paused(cameraSlot_);
    host_.setPaused(cameraSlot_, true);
    Hourglass hourglass;
    gainMap_.bytes().fill(0);
    std::array<std::uint8_t, kGainMapBytes> buffer{};
    const Request& request = pulsed() ? req::GetPulseGainMap : req::GetChopGainMap;
    if (host_.mapRequest(cameraSlot_, request, buffer.data(), static_cast<std::uint32_t>(buffer.size())))
        gainMap_.fromCamera(buffer.data());
    host_.setPaused(cameraSlot_, wasPaused);
}

void TOKHelpRightDlg::GetGainFromCameraButtonClick() {
    readGainFromCamera();
    updateReadouts();
}

void TOKHelpRightDlg::SendGainToCameraButtonClick() {
    suspend();
    {
        Hourglass hourglass;
        std::array<std::uint8_t, kGainMapBytes> buffer{};
        gainMap_.toCamera(buffer.data());
        host_.mapRequest(cameraSlot_, pulsed() ? req::SetPulseGainMap : req::SetChopGainMap, buffer.data(),
                         static_cast<std::uint32_t>(buffer.size()));
    }
    resume();
}

void TOKHelpRightDlg::LoadGainMapButtonClick() {
    const ModalOwner owner(this);
    const std::optional<std::string> path = host_.dialogs().openFile(gainFileRequest(pulsed(), true));
    if (!path) return;
    Hourglass hourglass;
    // A file that cannot be read leaves the map as it was rather than zeroed.
    GainMap loaded;
    const GainFileLoad result = loadGainMapFile(*path, loaded);
    if (!result.opened) {
        host_.dialogs().messageBox(kFileError, "Can't perform one of the following file operations: Open, Seek, Read, Close.",
                                   BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    gainMap_ = loaded;
    if (result.bytesRead != kGainMapBytes)
        host_.dialogs().messageBox("Unreliable Data", "The file length read is not correct for a gain map.",
                                   BoxButtons::OkCancel, BoxIcon::Warning);
    if (owner.gone()) return;
    updateReadouts();
}

void TOKHelpRightDlg::SaveGainMapButtonClick() {
    const ModalOwner owner(this);
    const std::optional<std::string> path = host_.dialogs().saveFile(gainFileRequest(pulsed(), false));
    if (!path) return;
    if (saveGainMapFile(*path, gainMap_))
        host_.dialogs().messageBox(kFileError,
                                   "Can't perform one of the following file operations: Open, Seek, Write, Close.",
                                   BoxButtons::Ok, BoxIcon::Error);
}

void TOKHelpRightDlg::BitBtn7Click() {
    gainMap_.setAll(kUnityGain);
    updateReadouts();
}

namespace {

// The number typed into a gain edit as a map entry, or nothing after the conversion error.
std::optional<std::int16_t> typedEntry(QLineEdit* edit, const std::function<void(const std::string&)>& error) {
    const std::string text = edit->text().toStdString();
    const std::optional<double> gain = parseDecimal(text);
    if (!gain) {
        error(notADecimalText(text));
        return std::nullopt;
    }
    return gainEntryFromTyped(*gain);
}

}  // namespace

void TOKHelpRightDlg::PixelGainEnter() {
    const BeamPoint at = Surface1->GetFrameCursor();
    const auto entry = typedEntry(PixelGain, [this](const std::string& t) { showConversionError(t); });
    if (!entry || !onDetector(at.x, at.y)) return;
    gainMap_.setEntry(pixelIndex(at.x, at.y), *entry);
    focusNextChild();
}

void TOKHelpRightDlg::RowGainEnter() {
    const BeamPoint at = Surface1->GetFrameCursor();
    const auto entry = typedEntry(RowGain, [this](const std::string& t) { showConversionError(t); });
    if (!entry || !onDetector(at.x, at.y)) return;
    gainMap_.setRow(at.y, *entry);
    setEditTextColour(RowGain, Qt::black);
}

void TOKHelpRightDlg::ColGainEnter() {
    const BeamPoint at = Surface1->GetFrameCursor();
    const auto entry = typedEntry(ColGain, [this](const std::string& t) { showConversionError(t); });
    if (!entry || !onDetector(at.x, at.y)) return;
    gainMap_.setColumn(at.x, *entry);
    setEditTextColour(ColGain, Qt::black);
}

}  // namespace kestrom
