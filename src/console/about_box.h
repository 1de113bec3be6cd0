// TAboutBox: the program, its version, its maker and where to write for support.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;

namespace kestrom {

inline constexpr const char* kSupportAddress = "support@kestrom3-console.example";

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    // contact: runs when the support address is clicked (it opens the mail program).
    TAboutBox(std::function<void()> contact, QWidget* parent = nullptr);

    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;
    QLabel* Maker;
    QLabel* Contact;
};

}  // namespace kestrom
