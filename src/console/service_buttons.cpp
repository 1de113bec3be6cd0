// Calibration, firmware and logic-program uploads on the current slot's camera.
#include "console/service_buttons.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <algorithm>

#include "console/camera_tab.h"
#include "common/qt/hourglass.h"
#include "console/settings_panel.h"
#include "platform/regular_file.h"

namespace kestrom {

TServiceButtons::TServiceButtons(ServiceButtonsContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)) {
    CalibrationTimer = new QTimer(this);
    CalibrationTimer->setInterval(1000);
    connect(CalibrationTimer, &QTimer::timeout, this, &TServiceButtons::CalibrationTimerTimer);
    OpenDialog = {"", "Embedded firmware (*.cod)|*.cod|All files (*.*)|*.*", "", "cod", "*.cod"};
    OpenDialog1 = {"", "Assembler files (*.ASM)|*.ASM|All files|*.*", "", "ASM", "*.asm"};
}

TServiceButtons::~TServiceButtons() {
    if (hourglass_) QApplication::restoreOverrideCursor();
}

void TServiceButtons::connectTab(TCameraTab* t) {
    connect(t->CalibrateButton, &QPushButton::clicked, this, [this] { CalibrateButton1Click(); });
    connect(t->KillCalibrationButton, &QPushButton::clicked, this, [this] { KillCalibrationButton1Click(); });
    connect(t->FirmwareButton, &QPushButton::clicked, this, [this] { FirmwareButton10Click(); });
    connect(t->LcaButton, &QPushButton::clicked, this, [this] { BitBtn12Click(); });
}

void TServiceButtons::SendCalibrate(int value) {
    Hourglass hourglass;
    context_.calls.ShortIO(req::Calibrate, value);
}

// Chopped operation calibrates at 2048; pulsed at the offset of the tracker's gain range.
int TServiceButtons::calibrationOffset() {
    if (context_.panel.methodCopy() != 0) return 2048;
    int p = tab()->GainTracker->value();
    int entry = p == 0 ? 0 : p < 200 ? 1 : p < 400 ? 2 : p < 800 ? 3 : 4;
    return context_.state.factory.pulseOffset(entry);
}

void TServiceButtons::CalibrateButton1Click() {
    if (!hourglass_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        hourglass_ = true;
    }
    context_.acquisition.SuspendAcquisition();
    context_.acquisition.SetAcquire(0);
    tab()->OffsetBias->setText(QString::number(calibrationOffset()));
    context_.panel.OffsetBias4KeyDown();
    context_.delay.wait(100);
    SendCalibrate(kCalibrateStart);
    CalibrationTimer->start();
    TCameraTab* t = tab();
    for (QWidget* w : {static_cast<QWidget*>(t->CalibrateButton), static_cast<QWidget*>(t->PulseMode),
                       static_cast<QWidget*>(t->ChoppedMode), static_cast<QWidget*>(t->ChopRate), t->ChopRatePanelA,
                       t->ChopRatePanelB, static_cast<QWidget*>(t->VisibleWavelength),
                       static_cast<QWidget*>(t->GainTracker), static_cast<QWidget*>(t->GainFactor)})
        w->setEnabled(false);
    t->ExposureTime->setEnabled(true);
}

void TServiceButtons::CalibrationTimerTimer() {
    // A tick that was already queued when the calibration ended must not announce it again.
    if (!CalibrationTimer->isActive()) return;
    TCameraTab* t = tab();
    bool chopRateEnabled = t->ChopRate->isEnabled();
    bool factorEnabled = t->GainFactor->isEnabled();
    context_.calls.ReadCameraState();
    t = tab();
    ConsoleState& state = context_.state;
    // The camera went away (unplugged, or a failed read closed it): its busy bit will never clear.
    if (!state.current().hasDevice()) {
        CalibrationTimer->stop();
        if (hourglass_) {
            QApplication::restoreOverrideCursor();
            hourglass_ = false;
        }
        return;
    }
    bool fixed = state.factory.isFixedConfiguration();
    if (!(state.console.statusFlags() & ConsoleBlock::kBusy)) {
        CalibrationTimer->stop();
        if (!fixed) {
            for (QWidget* w : {static_cast<QWidget*>(t->CalibrateButton), static_cast<QWidget*>(t->PulseMode),
                               static_cast<QWidget*>(t->ChoppedMode), static_cast<QWidget*>(t->GainTracker),
                               static_cast<QWidget*>(t->GainFactor)})
                w->setEnabled(true);
            bool chopped = t->ChoppedMode->isChecked();
            // The chopper sets the exposure in chopped operation, as the full refresh has it.
            t->ExposureTime->setEnabled(!chopped);
            for (QWidget* w : {static_cast<QWidget*>(t->ChopRate), t->ChopRatePanelA, t->ChopRatePanelB,
                               static_cast<QWidget*>(t->VisibleWavelength)})
                w->setEnabled(chopped);
        }
        context_.panel.takeCalibrationCopy();
        if (hourglass_) {
            QApplication::restoreOverrideCursor();
            hourglass_ = false;
        }
        QApplication::processEvents();
        // The thread object lives until the main thread reaps it, so the pointer stays good here.
        if (CameraDriver* thread = state.current().Thread.load()) {
            for (const Subscriber& s : thread->subscribers()) {
                if (s.window == 0) continue;
                if (context_.debugOutput) context_.debugOutput("Calibration done message sent");
                context_.port.post(s.window, subscriber_protocol::kCalibrationDone, 0, state.currentSlot);
            }
        }
        context_.acquisition.SetAcquire(1);
        context_.acquisition.ResumeAcquisition();
    }
    if (fixed) {
        t = tab();
        t->ChopRate->setEnabled(chopRateEnabled);
        t->GainFactor->setEnabled(factorEnabled);
        t->ExposureTime->setEnabled(false);
    }
}

void TServiceButtons::KillCalibrationButton1Click() {
    CalibrationTimer->stop();
    SendCalibrate(kCalibrateStop);
    context_.acquisition.SetAcquire(1);
}

void TServiceButtons::fileError(const std::string& file) {
    context_.state.history.append("Sorry, couldn't read the input file");
    context_.state.history.append(file);
    context_.dialogs.messageBox("File Error", "Can't perform one of the following file operations: Open, Seek, Read, Close.",
                                BoxButtons::OkCancel, BoxIcon::Error);
}

bool TServiceButtons::readUpload(const std::string& file, std::size_t limit, std::vector<std::uint8_t>& bytes,
                                 bool* tooLarge) {
    CappedFileRead read = readFileCapped(file, limit);
    if (tooLarge) *tooLarge = read.outcome == CappedFileRead::Outcome::TooLarge;
    if (tooLarge && *tooLarge) return false;
    // An empty program would leave the camera without one; a file beyond the limit is not ours.
    if (read.outcome != CappedFileRead::Outcome::Read || read.data.empty()) {
        fileError(file);
        return false;
    }
    bytes.assign(read.data.begin(), read.data.end());
    return true;
}

std::vector<std::uint8_t> TServiceButtons::firmwareBuffer(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> buffer(file.size() + 10, 0);
    std::copy(file.begin(), file.end(), buffer.begin());
    buffer.resize((file.size() + 3) / 4 * 4);
    return buffer;
}

void TServiceButtons::FirmwareButton10Click() {
    context_.acquisition.SuspendAcquisition();
    {
        Hourglass hourglass;
        if (context_.armFactoryKeys) context_.armFactoryKeys();
        if (auto file = context_.dialogs.openFile(OpenDialog)) {
            OpenDialog.fileName = *file;
            std::vector<std::uint8_t> bytes;
            if (readUpload(*file, kFirmwareFileLimit, bytes)) {
                std::vector<std::uint8_t> buffer = firmwareBuffer(bytes);
                context_.calls.blockRequest(req::SetFirmwareProgram, buffer.data(),
                                            static_cast<std::uint32_t>(buffer.size()), BlockFailure::Upload);
            }
        }
    }
    context_.acquisition.ResumeAcquisition();
    context_.enableOpenCameras();
}

void TServiceButtons::BitBtn12Click() {
    Hourglass hourglass;
    context_.acquisition.SuspendAcquisition();
    if (auto file = context_.dialogs.openFile(OpenDialog1)) {
        OpenDialog1.fileName = *file;
        std::vector<std::uint8_t> bytes;
        bool tooLarge = false;
        if (readUpload(*file, kLogicProgramSize, bytes, &tooLarge)) {
            std::vector<std::uint8_t> buffer(kLogicProgramSize, 0);
            std::copy(bytes.begin(), bytes.end(), buffer.begin());
            context_.calls.blockRequest(req::SetLcaProgram, buffer.data(), kLogicProgramSize, BlockFailure::Upload);
        } else if (tooLarge) {
            // Never read past the program buffer, nor send a cut program.
            context_.state.history.append("Logic program file is longer than 16384 bytes, not sent: " + *file);
            context_.dialogs.messageBox("File Error", "The logic program file is longer than 16384 bytes.",
                                        BoxButtons::Ok, BoxIcon::Error);
        }
    }
    context_.delay.wait(30000);
    context_.acquisition.ResumeAcquisition();
}

}  // namespace kestrom
