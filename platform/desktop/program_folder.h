// Where the running program lives and whether it may open windows.
//
// Thread safety: any thread.
#pragma once

#include <string>

namespace tellwen::desktop {

// The folder of this executable (/proc/self/exe, links resolved) with a
// trailing "/"; empty when unknown. The value programs store as
// KIVInstallPathExes.
std::string OwnFolder();

// True when an X11 or Wayland display is named in the environment.
bool DisplayAvailable();

}  // namespace tellwen::desktop
