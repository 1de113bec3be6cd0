// The console's smaller tools: the sounds and their switch, the tray icon, the camera alias, the
// About box, the manual, and the history copied to the clipboard.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class QDialog;
class QIcon;
class QSystemTrayIcon;

namespace kestrom {

class TLogoAppForm;

// The folder of the console's sounds and manual: where it is installed (<prefix>/share/kestrom3
// beside <prefix>/bin), else the source tree's share/ for a console run from its build.
std::string consoleDataFolder();
// The program's icon, drawn: a beam spot in a frame.
QIcon consoleIcon();

class ConsoleTools : public QObject {
    Q_OBJECT
  public:
    explicit ConsoleTools(TLogoAppForm& form);
    ~ConsoleTools() override;

    // Plays one of ".\Good.wav", ".\Failed.wav", ".\On.wav", ".\Off.wav" while the switch is on:
    // from the working directory when it is there, else from the console's own sounds.
    void playSound(const std::string& file);
    void SoundOnOff1Click(bool ticked);
    void SetAlias1Click();
    void HelpAbout1Execute();
    void Index1Click();
    void EditCopy1Execute();
    // The system's minimise: only the tray icon stays. False when there is no tray.
    bool minimiseToTray();
    void Restore1Click();
    void Exit1Click();

    QSystemTrayIcon* trayIcon() const { return tray_; }
    std::string manualPath() const;

    // Modal dialogs (alias, About) run through this, so tests answer them.
    void setModalRunner(std::function<int(QDialog&)> runner) { runModal_ = std::move(runner); }

  private:
    TLogoAppForm& form_;
    QSystemTrayIcon* tray_ = nullptr;
    std::function<int(QDialog&)> runModal_;
};

}  // namespace kestrom
