// The boxes of a command-line program: each one a line on standard error, answered as nobody can
// answer it.
#pragma once

#include <optional>
#include <string>

#include "platform/dialog_service.h"

namespace kestrom {

class StderrDialogs : public DialogService {
  public:
    explicit StderrDialogs(std::string program) : program_(std::move(program)) {}
    BoxAnswer messageBox(const std::string& caption, const std::string& text, BoxButtons buttons,
                         BoxIcon icon) override;
    // No one is there to choose a file.
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return std::nullopt; }
    void showLater(const std::string& caption, const std::string& text, BoxIcon icon) override;

  private:
    std::string program_;
};

}  // namespace kestrom
