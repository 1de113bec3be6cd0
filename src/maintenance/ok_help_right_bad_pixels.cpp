// The utilities dialog's bad-pixel half: marking with the mouse, showing the map, its files and
// its exchange with the camera.
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <cstdio>
#include <sstream>

#include "camera_records/requests.h"
#include "common/number_text.h"
#include "common/qt/hourglass.h"
#include "common/qt/modal_owner.h"
#include "maintenance/core/bad_pixel_map.h"
#include "maintenance/ok_help_right_dlg.h"
#include "platform/regular_file.h"
#include "viewer/core/frame_file_replace.h"

namespace kestrom {
namespace {

// A bad-pixel file a person could have written is a few hundred kilobytes at most.
constexpr std::size_t kLargestBadPixelFile = 64u << 20;

}  // namespace

FileDialogRequest TOKHelpRightDlg::badPixelFileRequest(bool open) const {
    const bool p = pulsed();
    const char* extension = p ? "bpp" : "bpc";
    FileDialogRequest request;
    if (open) {
        request.title = p ? "Open pulsed bad pixel file." : "Open chopped bad pixel file.";
        request.filter = "Bad pulsed pixel files (*.bpp)|*.bpp|Bad chopped pixel files (*.bpc)|*.bpc";
    } else {
        request.title = p ? "Save pulsed bad pixel file." : "Save chopped bad pixel file.";
        request.filter = "Bad pulsed pixels (*.bpp)|*.bpp|Bad chopped pixels (*.bpc)|*.bpc";
    }
    request.filterIndex = p ? 1 : 2;
    request.defaultExtension = extension;
    request.fileName = dataDirectory_ + "*." + extension;
    // The factory names a camera's files after its serial number.
    if (host_.privilegedMode()) {
        char name[32];
        std::snprintf(name, sizeof name, "%d.%s", static_cast<int>(host_.factoryOf(cameraSlot_).serialNumber()),
                      extension);
        request.fileName = name;
    }
    request.initialDirectory = dataDirectory_;
    return request;
}

void TOKHelpRightDlg::badPixelsChanged() {
    BadPixelCountEdit->setText(QString::number(badPixels_.size()));
    Surface1->SetPixPointList(badPixels_.toVector());
}

void TOKHelpRightDlg::suspend() {
    ++suspensions_;
    host_.suspendAcquisition(cameraSlot_);
}

void TOKHelpRightDlg::resume() {
    // Closing gives every outstanding suspension back; a step that ends after that has none left.
    if (suspensions_ == 0) return;
    --suspensions_;
    host_.resumeAcquisition(cameraSlot_);
}

void TOKHelpRightDlg::Surface1RightClick(bool shift) {
    const ModalOwner owner(this);
    const BeamPoint cursor = Surface1->GetFrameCursor();
    if (!onDetector(cursor.x, cursor.y)) return;
    Hourglass hourglass;
    const MarkMode mode = RowsOfPixels->isChecked()   ? MarkMode::Row
                          : ColsOfPixels->isChecked() ? MarkMode::Column
                                                      : MarkMode::Pixel;
    const MarkOutcome outcome = markWithMouse(badPixels_, mode, shift, cursor.x, cursor.y);
    if (outcome.changed) badPixelsChanged();
    if (outcome.limitReached)
        host_.dialogs().messageBox("Warning - can not add.", "You have reached the limit of bad pixels (1023).",
                                   BoxButtons::Ok, BoxIcon::Warning);
    if (owner.gone()) return;
    updateReadouts();
}

void TOKHelpRightDlg::BitBtn1Click() {
    badPixels_.clear();
    badPixelsChanged();
}

void TOKHelpRightDlg::BitBtn6Click() {
    if (BitBtn6->text() == "Show Map") {
        BitBtn6->setText("Hide Map");
        Surface1->SetPixPointList(badPixels_.toVector());
        Surface1->SetShowPixPoint(true);
    } else {
        BitBtn6->setText("Show Map");
        Surface1->SetShowPixPoint(false);
    }
}

void TOKHelpRightDlg::BitBtn5Click() {
    const ModalOwner owner(this);
    const FileDialogRequest request = badPixelFileRequest(false);
    const std::optional<std::string> path = host_.dialogs().saveFile(request);
    if (!path) return;
    const std::string text = encodeBadPixelFile(badPixels_);
    if (auto error = replaceFileWhole(*path, {text})) {
        host_.dialogs().messageBox("File Error", describe(*error, *path), BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    dataDirectory_ = folderOf(*path);
}

void TOKHelpRightDlg::BitBtn4Click() {
    const ModalOwner owner(this);
    BitBtn1Click();
    const FileDialogRequest request = badPixelFileRequest(true);
    const std::optional<std::string> path = host_.dialogs().openFile(request);
    if (!path) return;
    dataDirectory_ = folderOf(*path);

    const CappedFileRead read = readFileCapped(*path, kLargestBadPixelFile);
    if (read.outcome != CappedFileRead::Outcome::Read) {
        const std::string why = read.outcome == CappedFileRead::Outcome::TooLarge ? "The file is too large."
                                : read.outcome == CappedFileRead::Outcome::Absent ? "The file does not exist."
                                                                                   : read.reason;
        host_.dialogs().messageBox("File Error", "Cannot open file \"" + *path + "\". " + why, BoxButtons::Ok,
                                   BoxIcon::Error);
        return;
    }
    std::istringstream in(read.data);
    const std::optional<std::string> bad = readBadPixelFile(in, badPixels_, kMaxLoadedPoints);
    badPixelsChanged();
    if (bad) showConversionError(notAnIntegerText(*bad));
}

void TOKHelpRightDlg::BitBtn2Click() {
    badPixels_.clear();
    badPixelsChanged();
    std::array<std::uint8_t, kBadPixelReadSize> buffer{};
    const Request& request = pulsed() ? req::GetPulseBadPixelMap : req::GetChopBadPixelMap;
    if (!host_.mapRequest(cameraSlot_, request, buffer.data(), static_cast<std::uint32_t>(buffer.size()))) return;
    suspend();
    decodeCameraBadPixelMap(buffer.data(), buffer.size(), badPixels_);
    resume();
    badPixelsChanged();
}

void TOKHelpRightDlg::BitBtn3Click() {
    const ModalOwner owner(this);
    if (host_.dialogs().messageBox("WAIT!",
                                   "This operation will destroy the current contents of the camera. \n Press "
                                   "cancel to exit now.",
                                   BoxButtons::OkCancel, BoxIcon::Warning) != BoxAnswer::Ok)
        return;
    const bool p = pulsed();
    suspend();
    QPointer<TOKHelpRightDlg> self(this);
    {
        Hourglass hourglass;
        // The window stays responsive while the map is put in the camera's order.
        std::vector<std::uint8_t> buffer = encodeCameraBadPixelMap(badPixels_, [] { QApplication::processEvents(); });
        if (!self) return;
        // A dialog closed meanwhile has given its suspensions back and no longer speaks for the camera.
        if (active_)
            host_.mapRequest(cameraSlot_, p ? req::SetPulseBadPixelMap : req::SetChopBadPixelMap, buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()));
    }
    resume();
}

}  // namespace kestrom
