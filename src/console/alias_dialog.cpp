#include "console/alias_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kestrom {

TAliasDialog::TAliasDialog(const QString& serial, const QString& alias, QWidget* parent) : QDialog(parent) {
    setObjectName("AliasDialog");
    setWindowTitle("Change alias");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    DispSerialNo = new QLineEdit(serial);
    DispSerialNo->setObjectName("DispSerialNo");
    DispSerialNo->setReadOnly(true);
    UsersAliasName = new QLineEdit(alias);
    UsersAliasName->setObjectName("UsersAliasName");
    form->addRow("Serial number", DispSerialNo);
    form->addRow("Enter alias here:", UsersAliasName);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrom
