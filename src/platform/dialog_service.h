// The one place every modal message box and file dialog goes through, so tests script the answers.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kestrom {

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Cancel, Yes, No };
enum class BoxIcon { None, Information, Warning, Error, Question };

struct FileDialogRequest {
    std::string title;
    std::string filter;          // "Setup files (*.setup)|*.setup" style, as the caller names it
    std::string initialDirectory;
    std::string defaultExtension;
    std::string fileName;
};

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                 BoxIcon icon) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
};

// Records every box and dialog and answers from queues; an empty queue answers Ok/Yes or cancels.
class ScriptedDialogs : public DialogService {
public:
    struct Shown {
        std::string caption;
        std::string text;
        BoxButtons buttons;
    };
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;

    std::vector<Shown> boxes;
    std::vector<FileDialogRequest> fileDialogs;
    std::deque<BoxAnswer> answers;
    std::deque<std::optional<std::string>> files;
};

}  // namespace kestrom
