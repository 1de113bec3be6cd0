// Boxes written to standard error.
#include "stderr_dialogs.h"

#include <cstdio>

namespace kestrom {

BoxAnswer StderrDialogs::messageBox(const std::string& caption, const std::string& text,
                                    BoxButtons buttons, BoxIcon icon) {
    showLater(caption, text, icon);
    return quietAnswer(buttons);
}

void StderrDialogs::showLater(const std::string& caption, const std::string& text, BoxIcon) {
    std::fprintf(stderr, "%s: %s: %s\n", program_.c_str(), caption.c_str(), text.c_str());
}

}  // namespace kestrom
