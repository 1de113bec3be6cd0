#include "console/console_tools.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRadialGradient>
#include <QSystemTrayIcon>
#include <QTabWidget>

#include "console/about_box.h"
#include "console/alias_dialog.h"
#include "console/camera_tab.h"
#include "console/console_viewers.h"
#include "console/core/console_settings.h"
#include "console/logo_app_form.h"
#include "viewer/view_window.h"

namespace kestrom {
std::string consoleDataFolder() {
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/kestrom3";
    if (QFileInfo(installed + "/sounds").isDir()) return QDir(installed).absolutePath().toStdString();
    return KESTROM_SOURCE_DATA_DIR;
}

QIcon consoleIcon() {
    QIcon icon;
    for (int side : {16, 22, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(40, 40, 60), side / 16.0 + 0.5));
        p.setBrush(QColor(20, 10, 60));
        p.drawRoundedRect(QRectF(0.5, 0.5, side - 1.0, side - 1.0), side / 6.0, side / 6.0);
        QRadialGradient beam(QPointF(side / 2.0, side / 2.0), side * 0.38);
        beam.setColorAt(0.0, QColor(255, 255, 255));
        beam.setColorAt(0.25, QColor(0, 255, 0));
        beam.setColorAt(0.55, QColor(0, 80, 255));
        beam.setColorAt(0.8, QColor(255, 0, 200));
        beam.setColorAt(1.0, QColor(20, 10, 60, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(beam);
        p.drawEllipse(QPointF(side / 2.0, side / 2.0), side * 0.38, side * 0.38);
        icon.addPixmap(pixmap);
    }
    return icon;
}

ConsoleTools::ConsoleTools(TLogoAppForm& form)
    : QObject(&form), form_(form), runModal_([](QDialog& dialog) { return dialog.exec(); }) {
    connect(form.action("SoundOnOff1"), &QAction::triggered, this, &ConsoleTools::SoundOnOff1Click);
    connect(form.action("SetAlias1"), &QAction::triggered, this, &ConsoleTools::SetAlias1Click);
    connect(form.action("HelpAboutItem"), &QAction::triggered, this, &ConsoleTools::HelpAbout1Execute);
    connect(form.action("Index1"), &QAction::triggered, this, &ConsoleTools::Index1Click);
    connect(form.cameraTab(1)->Mode, &QLineEdit::textChanged, this, &ConsoleTools::EditCopy1Execute);

    // A desktop without a tray simply has no icon.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(consoleIcon(), this);
        tray_->setObjectName("TrayIcon1");
        tray_->setToolTip("Kestrom III Control Console");
        auto* menu = new QMenu(&form_);
        menu->setObjectName("PopupMenu1");
        connect(menu->addAction("Restore"), &QAction::triggered, this, &ConsoleTools::Restore1Click);
        connect(menu->addAction("Exit"), &QAction::triggered, this, &ConsoleTools::Exit1Click);
        tray_->setContextMenu(menu);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::DoubleClick) Restore1Click();
        });
        tray_->show();
    }
}

ConsoleTools::~ConsoleTools() {
    if (tray_) tray_->hide();
}

void ConsoleTools::playSound(const std::string& file) {
    if (!form_.soundOn() || !form_.sounds()) return;
    std::string name = file;
    if (name.rfind(".\\", 0) == 0) name.erase(0, 2);
    // Resolved when played: the working directory moves with setup files and file dialogs.
    std::string path = QDir::current().absoluteFilePath(QString::fromStdString(name)).toStdString();
    if (!QFileInfo::exists(QString::fromStdString(path))) path = consoleDataFolder() + "/sounds/" + name;
    std::string error;
    if (form_.sounds()->play(path, error)) return;
    // Only the switch sounds of the lock-in choice report; the others fail quietly.
    if (name == "On.wav" || name == "Off.wav")
        form_.dialogs().messageBox("Kestrom III Control Console", error, BoxButtons::Ok, BoxIcon::Error);
}

void ConsoleTools::SoundOnOff1Click(bool ticked) {
    form_.action("SoundOnOff1")->setText(ticked ? "&Sound On" : "&Sound Off");
}

void ConsoleTools::SetAlias1Click() {
    ConsoleState& state = form_.state();
    const std::uint32_t serial = state.current().Factory.serialNumber();
    std::string alias;
    try {
        alias = readCameraAlias(form_.setupFiles().regCtl(), serial);
    } catch (const RegistryError& e) {
        form_.dialogs().messageBox("Kestrom III Control Console", e.what(), BoxButtons::Ok, BoxIcon::Error);
    }
    const QString serialText = QString::number(serial);
    TAliasDialog dialog(serialText, alias.empty() ? serialText : QString::fromStdString(alias), &form_);
    if (runModal_(dialog) != QDialog::Accepted) return;
    const int slot = form_.pageControl()->currentIndex();
    if (slot < kFirstCameraSlot || slot > kLastCameraSlot) return;
    const std::string typed = dialog.UsersAliasName->text().toStdString();
    try {
        if (!storeCameraAlias(form_.setupFiles().regCtl(), serial, typed)) return;
    } catch (const RegistryError& e) {
        form_.dialogs().messageBox("Kestrom III Control Console", e.what(), BoxButtons::Ok, BoxIcon::Error);
        return;
    }
    form_.setCameraTabCaption(slot, dialog.UsersAliasName->text());
    if (TViewWindow* viewer = form_.viewers().viewer(slot)) viewer->retitle(typed);
}

void ConsoleTools::HelpAbout1Execute() {
    TAboutBox box(
        [this] {
            if (form_.shell()) form_.shell()->openUrl(std::string("mailto:") + kSupportAddress);
        },
        &form_);
    runModal_(box);
}

// The application's help file "K3HELP.CHM" is, on this system, the HTML manual.
std::string ConsoleTools::manualPath() const { return consoleDataFolder() + "/manual/index.html"; }

void ConsoleTools::Index1Click() {
    const std::string path = manualPath();
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        form_.dialogs().messageBox("Kestrom III Help", "The manual is not installed: " + path, BoxButtons::Ok,
                                   BoxIcon::Information);
        return;
    }
    if (!form_.shell() || !form_.shell()->openUrl(path))
        form_.dialogs().messageBox("Kestrom III Help", "No program to show the manual " + path + " was found.",
                                   BoxButtons::Ok, BoxIcon::Information);
}

void ConsoleTools::EditCopy1Execute() {
    QString text;
    const std::vector<std::string> lines = form_.state().history.lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += QString::fromStdString(lines[i]);
    }
    if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(text);
}

bool ConsoleTools::minimiseToTray() {
    if (!tray_) return false;
    form_.hide();
    return true;
}

void ConsoleTools::Restore1Click() {
    form_.showNormal();
    form_.raise();
    form_.activateWindow();
    form_.repaint();
}

void ConsoleTools::Exit1Click() { form_.close(); }

}  // namespace kestrom
