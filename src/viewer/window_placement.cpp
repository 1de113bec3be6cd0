#include "viewer/window_placement.h"

#include <algorithm>

namespace kestrom {

QRect placedBeside(const QRect& owner, QSize size, const QRect& screen) {
    size = size.boundedTo(screen.size());
    const QRect candidates[] = {
        QRect(QPoint(owner.right() + 1, owner.top()), size),
        QRect(QPoint(owner.left() - size.width(), owner.top()), size),
        QRect(QPoint(owner.left(), owner.bottom() + 1), size),
    };
    QRect chosen;
    for (const QRect& c : candidates)
        if (screen.contains(c)) return c;
    // No side has room: the side with the most, moved onto the screen.
    const int right = screen.right() - owner.right(), left = owner.left() - screen.left();
    chosen = right >= left ? candidates[0] : candidates[1];
    chosen.moveLeft(std::clamp(chosen.left(), screen.left(), screen.right() + 1 - size.width()));
    chosen.moveTop(std::clamp(chosen.top(), screen.top(), screen.bottom() + 1 - size.height()));
    return chosen;
}

}  // namespace kestrom
