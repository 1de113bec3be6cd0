// The modal dialogs of a window that may close under them.
#include "common/qt/modal_owner.h"

#include <QDialog>

#include <algorithm>

namespace kestrom {
namespace {

// The handlers that hold a ModalOwner now, outermost first: each nested dialog's loop runs inside
// the one before, so they end in the reverse order. All of it on the user-interface thread.
std::vector<ModalOwner*>& owners() {
    static std::vector<ModalOwner*> list;
    return list;
}

bool within(const QObject* object, const QObject* window) {
    for (; object; object = object->parent())
        if (object == window) return true;
    return false;
}

}  // namespace

ModalOwner::ModalOwner(QObject* window) : window_(window) { owners().push_back(this); }

ModalOwner::~ModalOwner() {
    auto& list = owners();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void ModalOwner::windowClosed(QObject* window) {
    // The innermost first: a dialog opened from another one ends its loop before that one's.
    auto& list = owners();
    for (auto o = list.rbegin(); o != list.rend(); ++o) {
        if (!(*o)->window_ || !within((*o)->window_, window)) continue;
        (*o)->closed_ = true;
        for (auto d = (*o)->running_.rbegin(); d != (*o)->running_.rend(); ++d) {
            QDialog* dialog = d->data();
            if (!dialog) continue;
            dialog->reject();
            if (within(dialog, window)) dialog->setParent(nullptr, dialog->windowFlags());
        }
    }
}

std::optional<int> runModal(QDialog& dialog) {
    // The innermost window still open: one that has closed owns nothing more (a box the console
    // shows from inside its closing is the console's).
    ModalOwner* owner = nullptr;
    for (auto o = owners().rbegin(); o != owners().rend() && !owner; ++o)
        if (!(*o)->gone()) owner = *o;
    QPointer<QDialog> alive(&dialog);
    if (owner) owner->running_.push_back(alive);
    const int result = dialog.exec();
    if (owner) {
        auto& running = owner->running_;
        running.erase(std::remove(running.begin(), running.end(), alive), running.end());
        if (owner->gone()) return std::nullopt;
    }
    if (!alive) return std::nullopt;
    return result;
}

}  // namespace kestrom
