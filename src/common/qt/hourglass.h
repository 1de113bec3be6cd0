// The hourglass while the console waits on the camera; the cursor found is restored.
#pragma once

#include <QApplication>

namespace kestrom {

struct Hourglass {
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

}  // namespace kestrom
