// Scripted answers for tests, and the boxes that a subscriber request or an ending console may not wait on.
#include "platform/dialog_service.h"

namespace kestrom {

BoxAnswer ScriptedDialogs::messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                      BoxIcon) {
    boxes.push_back({caption, text, buttons});
    if (!answers.empty()) {
        BoxAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == BoxButtons::Ok || buttons == BoxButtons::OkCancel ? BoxAnswer::Ok : BoxAnswer::Yes;
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
}

std::optional<std::string> ScriptedDialogs::saveFile(const FileDialogRequest& request) { return openFile(request); }

}  // namespace kestrom

namespace kestrom {

void ScriptedDialogs::showLater(const std::string& caption, const std::string& text, BoxIcon) {
    boxes.push_back({caption, text, BoxButtons::Ok, false});
}

BoxAnswer quietAnswer(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok: return BoxAnswer::Ok;
        case BoxButtons::YesNo: return BoxAnswer::No;
        case BoxButtons::OkCancel:
        case BoxButtons::YesNoCancel: return BoxAnswer::Cancel;
    }
    return BoxAnswer::Cancel;
}

BoxAnswer RequestSafeDialogs::messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                         BoxIcon icon) {
    if (ending_) return quietAnswer(buttons);
    if (requestDepth_ > 0) {
        inner_.showLater(caption, text, icon);
        return quietAnswer(buttons);
    }
    BoxAnswer answer = inner_.messageBox(caption, text, buttons, icon);
    // Closed because the console is ending: what the box would have done is not done.
    return ending_ ? quietAnswer(buttons) : answer;
}

std::optional<std::string> RequestSafeDialogs::openFile(const FileDialogRequest& request) {
    if (ending_ || requestDepth_ > 0) return std::nullopt;
    auto chosen = inner_.openFile(request);
    return ending_ ? std::nullopt : chosen;
}

std::optional<std::string> RequestSafeDialogs::saveFile(const FileDialogRequest& request) {
    if (ending_ || requestDepth_ > 0) return std::nullopt;
    auto chosen = inner_.saveFile(request);
    return ending_ ? std::nullopt : chosen;
}

void RequestSafeDialogs::showLater(const std::string& caption, const std::string& text, BoxIcon icon) {
    if (!ending_) inner_.showLater(caption, text, icon);
}

void RequestSafeDialogs::setEnding() {
    ending_ = true;
    inner_.closeOpenDialogs();
}

}  // namespace kestrom
