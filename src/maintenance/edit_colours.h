// The read-outs' colours: a box's background (good or bad pixel) and its text (uniform or not).
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPalette>

namespace kestrom {

inline void setEditBase(QLineEdit* edit, const QColor& colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, colour);
    edit->setPalette(p);
}

inline void setEditTextColour(QLineEdit* edit, const QColor& colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, colour);
    edit->setPalette(p);
}

}  // namespace kestrom
