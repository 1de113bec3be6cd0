// Modal dialogs driven from inside their own event loops, as a user and the world do: the dialogs
// that open first are answered, then something happens (the camera closes) while the next one is
// open, and what is still open once that has settled is noted. Whatever stays open is answered,
// so that every loop ends and the handler that opened it returns.
#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class QDialog;

namespace kestrom::testing {

class NestedDialogScript {
  public:
    using Answer = std::function<void(QDialog&)>;

    // One answer for each dialog that opens before the event; the event runs while the dialog
    // after them is open. A dialog left open afterwards gets `unwind`.
    NestedDialogScript(std::vector<Answer> answers, std::function<void()> event, Answer unwind);

    // Watches from timers from now on, while the caller runs the command that opens the dialogs.
    void start();
    bool eventRan() const { return eventRan_; }
    // The event has settled and every dialog is closed.
    bool finished() const { return finished_; }
    // Class names of the dialogs that were still open once the event had settled.
    const std::vector<std::string>& leftOpen() const { return leftOpen_; }

  private:
    void tick();

    std::vector<Answer> answers_;
    std::function<void()> event_;
    Answer unwind_;
    std::size_t next_ = 0;
    QPointer<QDialog> answered_;
    bool eventRan_ = false;
    bool checked_ = false;
    bool finished_ = false;
    std::chrono::steady_clock::time_point eventAt_{};
    std::vector<std::string> leftOpen_;
    QObject timers_;  // the pending ticks go with the script
};

// A file dialog answered as a user does: the path typed into its name field, then accepted.
void typeFileAndAccept(QDialog& fileDialog, const std::string& path);
// A dialog that should not have stayed open, answered so that its loop ends: a file dialog that
// saves gets savePath (whose name shows that an answer nobody should have been asked wrote it),
// one that opens is cancelled, any other dialog is accepted.
void answerLeftOpen(QDialog& dialog, const std::string& savePath);

}  // namespace kestrom::testing
