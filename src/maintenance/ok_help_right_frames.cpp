// The utilities dialog's road of a frame: taken in the console's delivery unless one is still on
// its way, corrected right after it, shown when the application is idle; and pause and repaint.
#include <QApplication>
#include <QCheckBox>
#include <QMetaObject>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "maintenance/core/pixel_repair.h"
#include "maintenance/ok_help_right_dlg.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"

namespace kestrom {

void TOKHelpRightDlg::KesTrom3Subscriber1NewFrame() {
    if (!active_) return;
    const std::int16_t* block = KesTrom3Subscriber1->subscriber().FrameData();
    // An event raised from the component's timer carries no frame.
    if (!block) return;
    // One frame at a time: a frame that arrives while one is processed or waits to be shown is
    // dropped (and not counted by a gain calculation).
    if (busy_) return;
    busy_ = true;
    turnFrameUpsideDown(block, received_);
    // The delivery holds the camera's thread: it returns now, and the frame is processed once the
    // events already waiting (a request to close the dialog among them) have been handled.
    processingPending_ = true;
    QMetaObject::invokeMethod(this, &TOKHelpRightDlg::processReceivedFrame, Qt::QueuedConnection);
}

void TOKHelpRightDlg::processReceivedFrame() {
    if (!processingPending_) return;
    processingPending_ = false;
    if (!active_) return;
    working_ = received_;
    raw_ = working_;
    calculation_.add(working_, gainMap_);
    if (SoftwareGain->isChecked()) correctGainInSoftware(working_, gainMap_);
    if (CorrectingPixels->isChecked()) repairBadPixels(working_, badPixels_);
    imageReady_ = true;
    if (!idleTimer_->isActive()) idleTimer_->start();
}

void TOKHelpRightDlg::showImage() {
    frame_->CopyPixels(working_.data());
    Surface1->SetCurrentFrame(0);
    updateReadouts();
    Surface1->update();
}

void TOKHelpRightDlg::ApplicationIdle() {
    if (!active_) return;
    if (imageReady_) {
        imageReady_ = false;
        showImage();
    }
    if (!busy_) return;
    busy_ = false;
    if (calculation_.takeCompletion()) {
        StatusBar1->showMessage("Thank you. Gain map complete.");
        if (calculationCursor_) {
            calculationCursor_ = false;
            QApplication::restoreOverrideCursor();
        }
        updateReadouts();
    }
}

void TOKHelpRightDlg::PauseButtonClick() {
    TKesTrom3Subscriber& subscriber = KesTrom3Subscriber1->subscriber();
    if (PauseButton->text() == "Pause") {
        subscriber.Stop();
        PauseButton->setText("Resume");
        RepaintButton->show();
    } else {
        subscriber.Start();
        PauseButton->setText("Pause");
        RepaintButton->hide();
    }
}

void TOKHelpRightDlg::RepaintButtonClick() {
    working_ = raw_;
    if (SoftwareGain->isChecked()) correctGainInSoftware(working_, gainMap_);
    if (CorrectingPixels->isChecked()) repairBadPixels(working_, badPixels_);
    showImage();
}

}  // namespace kestrom
