// Outside programs, documents and sounds through Qt: QProcess, QDesktopServices and QSoundEffect.
// A machine without a desktop handler or an audio device simply shows or plays nothing.
#pragma once

#include <memory>

#include "platform/shell_service.h"

class QSoundEffect;

namespace kestrom {

class QtShell : public ShellService {
  public:
    bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::string& error) override;
    bool openUrl(const std::string& url) override;
};

class QtSoundPlayer : public SoundPlayer {
  public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    bool play(const std::string& path, std::string& error) override;

  private:
    std::unique_ptr<QSoundEffect> effect_;
};

}  // namespace kestrom
