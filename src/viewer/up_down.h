// An up-down control bound to an edit: its arrows step the number in the edit's text within a
// range, as the typed text stands, and change nothing else.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace kestrom {

class UpDownControl : public QWidget {
    Q_OBJECT
  public:
    UpDownControl(QLineEdit* buddy, int minimum, int maximum, int position,
                  QWidget* parent = nullptr);

    int position() const { return position_; }
    // One step up (+1) or down (-1) from the number the edit shows.
    void step(int delta);

  private:
    QLineEdit* buddy_;
    int minimum_;
    int maximum_;
    int position_;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace kestrom
