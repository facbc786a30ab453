// The windows of a desktop program as a plugin beside it, so that the program
// itself needs no Qt: a server runs KIVIndexer, KIVMonitor and KIVSetup
// headless without the windows' libraries installed, and a desktop adds the
// plugins (windows/<program>.so in the programs folder, the tellwen-desktop
// package).
//
// A plugin exports one entry, kWindowsEntry: int (int argc, char** argv),
// the program's main with its windows; it returns the process's exit code.
//
// Thread safety: RunWindowsPlugin on the main thread, once.
#pragma once

#include <string>

namespace tellwen::desktop {

inline constexpr const char* kWindowsEntry = "tellwen_windows_main";

// OwnFolder() + "windows/" + program + ".so".
std::string WindowsPluginPath(const std::string& program);

// Whether the program's plugin is there.
bool WindowsInstalled(const std::string& program);

// Loads the plugin and runs its entry: the entry's exit code, or -1 with
// *error saying why the plugin could not be loaded.
int RunWindowsPlugin(const std::string& program, int argc, char** argv, std::string* error);

// A program's start: when its windows are to be shown (UseWindows) and can be
// had, runs them and returns true with *exit_code set. Otherwise returns
// false and the program goes on headless; where a display was there, stderr
// first says why there are no windows ("<program>: no windows installed
// (<path>); running headless", or why the plugin would not load).
bool RunWindowsIfWanted(const std::string& program, bool headless_asked, int argc, char** argv,
                        int* exit_code);

}  // namespace tellwen::desktop
