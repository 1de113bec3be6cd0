// A window put back where its frame stood: the "Left" and "Top" a window keeps are its frame's.
#pragma once

#include <QPoint>

class QWidget;

namespace kestrom {

// The frame's top left corner at framePosition. Once the window exists and its frame is not yet
// known (it has not been mapped), a plain move would put the client area there instead, and the
// window would open one title bar higher each time.
void placeFrameAt(QWidget& window, QPoint framePosition);

}  // namespace kestrom
