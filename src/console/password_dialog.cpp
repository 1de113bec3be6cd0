#include "console/password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kestrom {

TPasswordDlg::TPasswordDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("PasswordDlg");
    setWindowTitle("Password Dialog");
    auto* layout = new QVBoxLayout(this);
    auto* warning = new QLabel(
        "Warning! do not attempt to enter priviliged mode unless you are an authorized user!             Enter "
        "password:");
    warning->setWordWrap(true);
    warning->setStyleSheet("color: red");
    warning->setFixedWidth(300);
    layout->addWidget(warning);
    Password = new QLineEdit;
    Password->setObjectName("Password");
    Password->setEchoMode(QLineEdit::Password);
    layout->addWidget(Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrom
