// A window put back where its frame stood.
#include "common/qt/frame_position.h"

#include <QWidget>
#include <QWindow>

namespace kestrom {

void placeFrameAt(QWidget& window, QPoint framePosition) {
    if (QWindow* handle = window.windowHandle())
        handle->setFramePosition(framePosition);
    else
        window.move(framePosition);  // not yet made: a window's move places its frame
}

}  // namespace kestrom
