// Message boxes and file dialogs of the console through Qt.
#pragma once

#include "platform/dialog_service.h"

class QWidget;

namespace kestrom {

class QtDialogs : public DialogService {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                         BoxIcon icon) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    void showLater(const std::string& caption, const std::string& text, BoxIcon icon) override;
    void closeOpenDialogs() override;

    // Boxes shown without blocking that may be open at once; more are not shown (their history
    // lines say the same).
    static constexpr int kMaxBoxesShownLater = 16;

private:
    QWidget* parent_;
    int boxesShownLater_ = 0;
};

}  // namespace kestrom
