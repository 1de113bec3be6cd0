// The view window's read-out of its cursor in the status bar: the pixel's column and row, where
// it lies in millimetres and its value, following the cursor as it moves and the frames as they
// change.
#include <QLabel>
#include <QStatusBar>

#include "viewer/core/cursor_readout.h"
#include "viewer/view_window.h"

namespace kestrom {

void TViewWindow::buildCursorReadout() {
    CursorReadout = new QLabel;
    CursorReadout->setObjectName("CursorReadout");
    CursorReadout->setToolTip("The pixel under the cursor: column, row, position and value");
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(CursorReadout, 1);
    // Every drawing of the surface: a new frame, the cursor dragged, the view zoomed or panned.
    connect(Surface1, &TSurface::repainted, this, &TViewWindow::showCursorReadout);
}

void TViewWindow::showCursorReadout() {
    const Frame* shown = Surface1->GetDisplayFrame();
    std::string text;
    // Only for a cursor the user can see: the read-out belongs to the cross on the image.
    if (shown && Surface1->GetShow(kShowCursor)) {
        const BeamPoint at = Surface1->GetFrameCursor();
        text = cursorReadoutText(*shown, at.x, at.y, Surface1->resultsTextSettings());
    }
    const QString readout = QString::fromStdString(text);
    if (CursorReadout->text() != readout) CursorReadout->setText(readout);
}

}  // namespace kestrom
