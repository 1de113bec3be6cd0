// The modal dialogs of a window that may close under them.
//
// A modal dialog runs an event loop of its own inside the handler that opened it, and what runs in
// that loop (the camera closes or is unplugged, the console ends) may close the window and free it
// while the handler still waits. A handler that opens a modal dialog holds a ModalOwner for its
// window on its stack while it does: the dialogs run then through runModal belong to that window.
// When the window closes (ModalOwner::windowClosed) they close as if cancelled, also the dialogs
// they opened in turn and those of the window's child windows, and once its dialog has returned
// the handler asks gone() and then touches nothing of the window.
#pragma once

#include <QPointer>

#include <optional>
#include <vector>

class QDialog;
class QObject;

namespace kestrom {

class ModalOwner {
  public:
    explicit ModalOwner(QObject* window);
    ~ModalOwner();
    ModalOwner(const ModalOwner&) = delete;
    ModalOwner& operator=(const ModalOwner&) = delete;

    // The window has closed, or has been freed, since the handler began.
    bool gone() const { return closed_ || window_.isNull(); }

    // The window closes: every dialog still running under its handlers, or under those of its child
    // windows, closes as if cancelled and is taken off the window, so that freeing the window does
    // not free a dialog whose loop still runs. Called by the window's close (and its destruction).
    static void windowClosed(QObject* window);

  private:
    friend std::optional<int> runModal(QDialog& dialog);

    QPointer<QObject> window_;
    bool closed_ = false;
    std::vector<QPointer<QDialog>> running_;
};

// Runs the dialog modally for the window of the innermost ModalOwner whose window is still open
// (if any). Its result, or nothing when it closed because that window closed, or was itself freed
// meanwhile.
std::optional<int> runModal(QDialog& dialog);

}  // namespace kestrom
