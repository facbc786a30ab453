// Starting other programs without waiting for them: a program of the install
// folder (the shell's "open" of a program), and a link handed to the
// desktop's opener (xdg-open).
//
// Children are started with posix_spawn and reaped by a detached thread, so
// a started program never lingers as a zombie of the caller and the caller
// never waits for it to end.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"

namespace tellwen::desktop {

// Starts programs_folder + program with args, detached; programs_folder is
// the install folder with its final "/" (the setting KIVInstallPathExes).
// Fails (kNotFound, kIoError) with a message naming the program when it
// cannot be started.
Status StartInstalledProgram(const std::string& programs_folder, const std::string& program,
                             const std::vector<std::string>& args = {});

// How an attempt to open a link ended.
struct LinkOpenResult {
  int spawn_error = 0;  // errno of posix_spawn; 0 when the opener started
  int exit_code = 0;    // the opener's exit code (0 also while it still runs)
  bool ok() const { return spawn_error == 0 && exit_code == 0; }
};

// Runs `opener target` (PATH is searched) and waits up to wait_ms for it to
// end: an opener that ends with an error within that time is reported; one
// still running then is taken as success and reaped in the background.
LinkOpenResult RunOpener(const std::string& opener, const std::string& target, int wait_ms = 5000);

// Opens target with xdg-open; when that fails, with the browser registered
// for web pages (x-www-browser). The result of the last attempt.
LinkOpenResult OpenLink(const std::string& target);

}  // namespace tellwen::desktop
