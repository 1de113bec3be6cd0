#include "viewer/up_down.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrom {

UpDownControl::UpDownControl(QLineEdit* buddy, int minimum, int maximum, int position,
                             QWidget* parent)
    : QWidget(parent),
      buddy_(buddy),
      minimum_(minimum),
      maximum_(maximum),
      position_(position),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDownControl::step(int delta) {
    // The edit's text is where the arrows start from, as the user may have typed a number.
    bool ok = false;
    const int typed = buddy_->text().toInt(&ok);
    if (ok) position_ = std::clamp(typed, minimum_, maximum_);
    position_ = std::clamp(position_ + delta, minimum_, maximum_);
    buddy_->setText(QString::number(position_));
}

}  // namespace kestrom
