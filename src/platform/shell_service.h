// Outside programs, documents and mail, and the sounds: the console reaches them through these, so
// tests see what would have been started or played.
#pragma once

#include <string>
#include <vector>

namespace kestrom {

class ShellService {
  public:
    virtual ~ShellService() = default;
    // Starts the program detached from the console; false and the reason when it cannot be started.
    virtual bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                              std::string& error) = 0;
    // A document (the manual) or a mailto: link with the desktop's program for it.
    virtual bool openUrl(const std::string& url) = 0;
};

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Starts playing the wave file and returns at once; false and the reason when it cannot be played.
    virtual bool play(const std::string& path, std::string& error) = 0;
};

// Records what was asked of it; answers from `startResult` and `playResult`.
class RecordingShell : public ShellService, public SoundPlayer {
  public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
    };
    bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                      std::string& error) override {
        started.push_back({program, arguments});
        if (!startResult) error = "cannot be started";
        return startResult;
    }
    bool openUrl(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    bool play(const std::string& path, std::string& error) override {
        played.push_back(path);
        if (!playResult) error = "cannot be played";
        return playResult;
    }

    std::vector<Start> started;
    std::vector<std::string> opened;
    std::vector<std::string> played;
    bool startResult = true;
    bool playResult = true;
};

}  // namespace kestrom
