// "Autoload KIVMonitor": the monitor's XDG autostart entry,
// <folder>/KIVMonitor.desktop (folder /etc/xdg/autostart). Its presence is
// the state of the check box.
//
// Thread safety: may be called from any thread; two writers race (the last
// one wins), the entry is written to a temporary file and renamed over it.
#pragma once

#include <string>

namespace tellwen::scheduler {

inline constexpr const char* kAutostartFolder = "/etc/xdg/autostart";
inline constexpr const char* kAutostartFile = "KIVMonitor.desktop";

bool AutostartPresent(const std::string& folder);

// The entry's text, starting exec_path (KIVInstallPathExes + "KIVMonitor").
std::string AutostartEntry(const std::string& exec_path);

// Writes the entry; 0, or the errno of the failing call.
int WriteAutostart(const std::string& folder, const std::string& exec_path);

// Removes the entry; 0 when it is gone (also when it was not there), else
// the errno.
int RemoveAutostart(const std::string& folder);

// "Registry error: RegSetKeyEx returned %d" / "... RegDeleteValue ..." with
// the code.
std::string AutostartWriteError(int code);
std::string AutostartRemoveError(int code);

// The "Autoload KIVMonitor" choice, as every program applies it: on, the
// entry starting programs_folder + "KIVMonitor" is written (the folder made
// first: a server without a desktop may have none); off, an entry that is
// there is removed. "" when it worked, else the message to show.
std::string SetAutoloadMonitor(const std::string& folder, const std::string& programs_folder,
                               bool on);

}  // namespace tellwen::scheduler
