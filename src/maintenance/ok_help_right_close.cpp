// Closing the utilities dialog: the frames stopped, every suspension given back, the data folder
// remembered, and the console told, so that it reads the camera's correction switches again.
#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include "common/qt/modal_owner.h"
#include "maintenance/ok_help_right_dlg.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"

namespace kestrom {

void TOKHelpRightDlg::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        PauseButton->setText("Pause");
        PauseButtonClick();
        KesTrom3Subscriber1->subscriber().Stop();
        active_ = false;
        FormClose();
    }
    event->accept();
}

void TOKHelpRightDlg::FormClose() {
    closed_ = true;
    active_ = false;
    // A dialog of this one still open (the camera closed under it) closes with it.
    ModalOwner::windowClosed(this);
    idleTimer_->stop();
    hide();
    if (calculationCursor_) {
        calculationCursor_ = false;
        QApplication::restoreOverrideCursor();
    }
    while (suspensions_ > 0) resume();
    // Errors while writing are not shown: the dialog is gone and a folder is no loss.
    host_.registry().setValue(RegistryHive::CurrentUser, kUtilityKeyBase + serialText_, "DataPath",
                              RegistryValue::string(dataDirectory_));
    TKesTrom3Subscriber& subscriber = KesTrom3Subscriber1->subscriber();
    subscriber.Stop();
    // The console forgets this window now rather than at its next frame to nobody.
    subscriber.Close();
    host_.utilityClosed(cameraSlot_);
    badPixels_.clear();
    Surface1->SetPixPointList({});
}

}  // namespace kestrom
