// TAliasDialog: the name a camera's tab shows instead of its serial number.
#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrom {

class TAliasDialog : public QDialog {
    Q_OBJECT
  public:
    // serial: shown read-only; alias: the stored alias, or the serial number when none is stored.
    TAliasDialog(const QString& serial, const QString& alias, QWidget* parent = nullptr);

    QLineEdit* DispSerialNo;
    QLineEdit* UsersAliasName;
};

}  // namespace kestrom
