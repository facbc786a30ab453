// KIVMonitor with its window: Qt start-up, the one-instance rule (a second
// start raises the first window, even hidden, and ends; before the window
// exists it says "KIVMonitor already running!"), the worker and the window,
// until the window's exit. SIGTERM and SIGINT exit as the window's Exit does,
// without the question.
//
// Thread safety: runs on the main thread; call once.
#pragma once

#include <string>

namespace tellwen::monitor {

// own_folder: this executable's folder with a trailing "/" (written as
// KIVInstallPathExes); "" when unknown. Returns the process exit code.
int RunWithWindow(int argc, char** argv, const std::string& own_folder);

}  // namespace tellwen::monitor
