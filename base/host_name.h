// The name of this machine (gethostname).
//
// Thread safety: any thread.
#pragma once

#include <string>

namespace tellwen {

// The host name, or fallback when the system cannot tell it.
std::string LocalHostName(const std::string& fallback = "localhost");

}  // namespace tellwen
