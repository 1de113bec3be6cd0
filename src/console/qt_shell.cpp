#include "console/qt_shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QSoundEffect>
#include <QStringList>
#include <QUrl>

namespace kestrom {

bool QtShell::startProgram(const std::string& program, const std::vector<std::string>& arguments,
                           std::string& error) {
    const QFileInfo file(QString::fromStdString(program));
    // Said before the start is tried: QProcess gives no reason of its own for a detached start.
    if (!file.exists()) {
        error = "The program \"" + program + "\" does not exist.";
        return false;
    }
    // The permission bits, not access(): for root every file would pass.
    const bool executable = file.permissions() & (QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    if (!file.isFile() || !executable) {
        error = "\"" + program + "\" is not a program.";
        return false;
    }
    QStringList args;
    for (const std::string& a : arguments) args << QString::fromStdString(a);
    if (!QProcess::startDetached(file.absoluteFilePath(), args)) {
        error = "The program \"" + program + "\" could not be started.";
        return false;
    }
    return true;
}

bool QtShell::openUrl(const std::string& url) {
    const QString text = QString::fromStdString(url);
    return QDesktopServices::openUrl(text.contains(':') ? QUrl(text) : QUrl::fromLocalFile(text));
}

QtSoundPlayer::QtSoundPlayer() : effect_(std::make_unique<QSoundEffect>()) {}

QtSoundPlayer::~QtSoundPlayer() = default;

bool QtSoundPlayer::play(const std::string& path, std::string& error) {
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile() || !file.isReadable()) {
        error = "The sound file \"" + path + "\" cannot be read.";
        return false;
    }
    effect_->stop();
    effect_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    effect_->play();
    return true;
}

}  // namespace kestrom
