// Where the console's message socket lives: a private folder in the user's runtime directory.
#pragma once

#include <string>
#include <string_view>

namespace kestrom {

// The console's main window is found by these two names, as subscribers have always found it.
inline constexpr const char* kConsoleWindowClass = "TLogoAppForm";
inline constexpr const char* kConsoleWindowCaption = "Kestrom III Control Console";

// "<class>-<caption>.sock" with every character other than letters, digits, '.', '-' and '_'
// replaced by '_': "TLogoAppForm-Kestrom_III_Control_Console.sock".
std::string socketFileName(std::string_view windowClass, std::string_view caption);

// $XDG_RUNTIME_DIR/kestrom3, else /tmp/kestrom3-<uid>.
std::string runtimeFolder();

// The console's socket in runtimeFolder().
std::string consoleSocketPath();

// Creates the folder with mode 0700 when it is missing. An existing folder must be a real
// directory of this user that nobody else may enter; anything else is refused with the reason,
// since whoever controls the folder could stand in for the console.
bool preparePrivateFolder(const std::string& folder, std::string& error);

// The folder part of a socket path ("." when there is none).
std::string socketFolderOf(const std::string& path);

}  // namespace kestrom
