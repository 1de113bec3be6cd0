// Where a window that belongs to another opens: beside its owner where the screen has room, and
// always whole on the screen.
#pragma once

#include <QRect>
#include <QSize>

namespace kestrom {

// size is the window's frame, owner the owner's frame, screen the screen's free area: right of
// the owner, else left of it, else under it, else where it overlaps least; then moved (and, when
// larger than the screen, cut) to lie on the screen.
QRect placedBeside(const QRect& owner, QSize size, const QRect& screen);

}  // namespace kestrom
