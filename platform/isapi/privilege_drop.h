// Leaving root for kivweb's account, keeping only the capabilities named.
//
// kivweb is started as root so that it may bind a port below 1024; it binds
// it first, and nothing else of root is needed after that. DropRootTo() takes
// the account's groups (its own and its supplementary ones, such as the group
// that may read the catalog), its group id and its user id, real, effective
// and saved, so root can never be taken back; of root's capabilities it keeps
// only `keep`, permitted and effective (none inheritable, none ambient).
//
// Linux keeps capabilities per thread, and a thread starts with those of the
// thread that made it; so DropRootTo() runs before the process starts any
// thread, and every later thread has what it kept.
//
// Thread safety: DropRootTo() while the process has a single thread.
#pragma once

#include <cstdint>
#include <string>

#include "base/status.h"

namespace tellwen::isapi {

// Capability sets as bit masks (1 << CAP_...).
using CapabilityMask = std::uint64_t;
// Opening a raw ICMP socket, for the on-demand ping.
inline constexpr CapabilityMask kRawSocketCapability = CapabilityMask{1} << 13;  // CAP_NET_RAW

// Runs the process as account from now on, keeping the capabilities of keep.
// REQUIRES: running as root, with one thread. The error says which step the
// system refused; the process must not go on serving then.
Status DropRootTo(const std::string& account, CapabilityMask keep);

}  // namespace tellwen::isapi
