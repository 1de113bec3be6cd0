#include "console/console_factory.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "console/camera_tab.h"
#include "console/console_viewers.h"
#include "console/logo_app_form.h"
#include "console/password_dialog.h"
#include "maintenance/quorls_magic_dialog.h"
#include "viewer/view_window.h"

namespace kestrom {

ConsoleFactory::ConsoleFactory(TLogoAppForm& form, MaintenanceHost& host)
    : QObject(&form), form_(form), host_(host), runModal_([](QDialog& dialog) { return dialog.exec(); }) {}

ConsoleFactory::~ConsoleFactory() { delete dialog_.data(); }

void ConsoleFactory::connectTab(TCameraTab* tab) {
    connect(tab->FactoryButton, &QPushButton::clicked, this, &ConsoleFactory::FactoryButton1Click);
    tab->FirmwareButton->installEventFilter(this);
}

bool ConsoleFactory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && keys_.key(static_cast<QKeyEvent*>(event)->key())) {
        openFactoryDialog();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ConsoleFactory::FactoryButton1Click() {
    factoryRequest_ = false;
    {
        TPasswordDlg password(&form_);
        if (runModal_(password) == QDialog::Accepted) {
            const std::string typed = password.Password->text().toStdString();
            ConsoleState& state = form_.state();
            if (typed == "quilter") {
                form_.playSound(".\\Good.wav");
                state.history.appendRaw("Welcome master.");
                state.privilegedMode = true;
            } else if (typed == "Wopp") {
                factoryRequest_ = true;
            } else {
                form_.playSound(".\\Failed.wav");
                state.history.appendRaw("No. I don't think so.");
                state.privilegedMode = false;
            }
        }
    }
    applyPrivilegedMode();
    if (factoryRequest_) {
        factoryRequest_ = false;
        openFactoryDialog();
    }
}

void ConsoleFactory::applyPrivilegedMode() {
    TCameraTab* tab = form_.currentTab();
    TCameraTab* first = form_.cameraTab(1);
    const bool on = form_.state().privilegedMode;
    for (QPushButton* b : {tab->FirmwareButton, first->LcaButton}) {
        b->setVisible(on);
        b->setEnabled(on);
    }
    if (on) tab->GainPanel->show();
}

void ConsoleFactory::openFactoryDialog() {
    const int slot = form_.state().currentSlot;
    // The dialog may rewrite the record the viewer's header and settings were made from.
    if (TViewWindow* viewer = form_.viewers().viewer(slot)) viewer->close();
    if (!dialog_) dialog_ = new TQuorlsMagicDialog(host_, &form_);
    runModal_(*dialog_);
}

}  // namespace kestrom
