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
    int filterIndex = 1;         // the filter offered first, counted from 1
};

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                                 BoxIcon icon) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    // A box with an OK button that shows without blocking and is answered by nobody.
    virtual void showLater(const std::string& caption, const std::string& text, BoxIcon icon) = 0;
    // Closes every box and dialog that is open now, as if cancelled (the console is ending).
    virtual void closeOpenDialogs() {}
};

// The answer that changes nothing: what a box gets that nobody can answer.
BoxAnswer quietAnswer(BoxButtons buttons);

// The console's dialogs: while a subscriber's request runs, a box is shown without blocking and gets
// its quiet answer at once, so that the request is answered and no frame waits for a person; a file
// dialog is not offered then. Once the console is ending, nothing is shown at all.
class RequestSafeDialogs : public DialogService {
public:
    explicit RequestSafeDialogs(DialogService& inner) : inner_(inner) {}
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    void showLater(const std::string& caption, const std::string& text, BoxIcon icon) override;
    void closeOpenDialogs() override { inner_.closeOpenDialogs(); }

    // From now on no box or dialog shows, and those open are closed.
    void setEnding();
    bool ending() const { return ending_; }

    // For the time a subscriber's request runs; nests.
    class RequestScope {
    public:
        explicit RequestScope(RequestSafeDialogs& dialogs) : dialogs_(dialogs) { ++dialogs_.requestDepth_; }
        ~RequestScope() { --dialogs_.requestDepth_; }
        RequestScope(const RequestScope&) = delete;
        RequestScope& operator=(const RequestScope&) = delete;

    private:
        RequestSafeDialogs& dialogs_;
    };

private:
    DialogService& inner_;
    int requestDepth_ = 0;
    bool ending_ = false;
};

// Records every box and dialog and answers from queues; an empty queue answers Ok/Yes or cancels.
class ScriptedDialogs : public DialogService {
public:
    struct Shown {
        std::string caption;
        std::string text;
        BoxButtons buttons;
        bool modal = true;   // false: shown without blocking (showLater)
    };
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    void showLater(const std::string& caption, const std::string& text, BoxIcon icon) override;

    std::vector<Shown> boxes;
    std::vector<FileDialogRequest> fileDialogs;
    std::deque<BoxAnswer> answers;
    std::deque<std::optional<std::string>> files;
};

}  // namespace kestrom
