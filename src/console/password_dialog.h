// TPasswordDlg: the Factory button's password box.
#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrom {

class TPasswordDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TPasswordDlg(QWidget* parent = nullptr);

    QLineEdit* Password;
};

}  // namespace kestrom
