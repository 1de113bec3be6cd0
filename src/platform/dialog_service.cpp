// Scripted answers for tests.
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
