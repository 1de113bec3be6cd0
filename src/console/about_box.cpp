#include "console/about_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrom {

TAboutBox::TAboutBox(std::function<void()> contact, QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    auto* layout = new QVBoxLayout(this);
    ProductName = new QLabel("Kestrom III Command Console");
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    ProductName->setFont(big);
    // The version comes from the build.
    Version = new QLabel(QString("Version ") + PROJECT_VERSION_TEXT);
    Comments = new QLabel("with Viewer");
    Maker = new QLabel("Made by the Kestrom III console team for Linux, with Qt 6.");
    Contact = new QLabel(QString("<a href=\"mailto:%1\" style=\"color: red\">%1</a>").arg(kSupportAddress));
    Contact->setObjectName("Contact");
    Contact->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(Contact, &QLabel::linkActivated, this, [contact] {
        if (contact) contact();
    });
    for (QLabel* l : {ProductName, Version, Comments, Maker, Contact}) layout->addWidget(l);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrom
