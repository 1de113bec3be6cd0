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

private:
    QWidget* parent_;
};

}  // namespace kestrom
