// Where the running program lives.
//
// Thread safety: any thread.
#pragma once

#include <string>

namespace tellwen::desktop {

// The folder of this executable (/proc/self/exe, links resolved) with a
// trailing "/"; empty when unknown. The value programs store as
// KIVInstallPathExes.
std::string OwnFolder();

}  // namespace tellwen::desktop
