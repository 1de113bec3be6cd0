// Modal dialogs driven from inside their own event loops.
#include "nested_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

namespace kestrom::testing {

using namespace std::chrono_literals;

NestedDialogScript::NestedDialogScript(std::vector<Answer> answers, std::function<void()> event,
                                       Answer unwind)
    : answers_(std::move(answers)),
      event_(std::move(event)),
      unwind_(std::move(unwind)) {}

void NestedDialogScript::start() {
    QTimer::singleShot(10ms, &timers_, [this] { tick(); });
}

void NestedDialogScript::tick() {
    if (finished_) return;
    // The next tick first: an answer may open a dialog whose loop runs inside this one.
    QTimer::singleShot(10ms, &timers_, [this] { tick(); });
    auto* top = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!eventRan_) {
        if (!top || top == answered_) return;
        if (next_ < answers_.size()) {
            answered_ = top;
            answers_[next_++](*top);
            return;
        }
        eventRan_ = true;
        eventAt_ = std::chrono::steady_clock::now();
        event_();
        return;
    }
    if (!checked_) {
        // What the event sets going (a window closed, then freed) takes a few rounds of the loop.
        if (top && std::chrono::steady_clock::now() - eventAt_ < 1s) return;
        checked_ = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->isModal())
                leftOpen_.push_back(d->metaObject()->className());
    }
    if (top)
        unwind_(*top);
    else
        finished_ = true;
}

void typeFileAndAccept(QDialog& fileDialog, const std::string& path) {
    // The name field, whatever has the focus (a selected file does not replace what is typed there).
    fileDialog.findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
    fileDialog.accept();
}

void answerLeftOpen(QDialog& dialog, const std::string& savePath) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    if (!files)
        dialog.accept();
    else if (files->acceptMode() == QFileDialog::AcceptSave)
        typeFileAndAccept(dialog, savePath);
    else
        dialog.reject();
}

}  // namespace kestrom::testing
