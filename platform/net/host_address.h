// Host look-up for the echo: the first IPv4 address of a computer name.
//
// Names come from the catalog and from web requests: they are untrusted and
// may hold any bytes. A name under the reserved top-level domain "invalid"
// (RFC 6761: such names never exist and look-ups must fail at once) is
// answered here without asking the system resolver, so no DNS query leaves
// the machine for it. Any other name goes to the system resolver, which
// reads /etc/hosts and the configured name servers, for no longer than the
// caller's timeout.
//
// Thread safety: callable from any thread at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tellwen::net {

// True and *address (network byte order) set when name has an IPv4 address
// found within timeout_ms milliseconds; false when it does not resolve in
// that time (empty names and names holding a NUL included).
//
// A dotted address is read without a look-up. Other names are looked up by
// getaddrinfo on a detached thread of their own, waited for at most
// timeout_ms: a name server that never answers holds the caller no longer.
// A look-up still running at its deadline is left to end by the resolver's
// own time-out; while kMaxRunningLookUps look-ups are running, further
// names are answered "does not resolve" at once, so a silent name server
// cannot pile up threads. The first look-up pins the library holding this
// code (a host that unloads it cannot pull the code from under a thread).
inline constexpr size_t kMaxRunningLookUps = 16;

bool ResolveIPv4(const std::string& name, uint32_t* address, int timeout_ms);

// True for names under the reserved "invalid" domain ("invalid",
// "x.invalid", "x.INVALID.", ...).
bool IsReservedInvalidName(const std::string& name);

// An address an echo must never be sent to: 0.0.0.0/8 (on Linux a packet to
// 0.0.0.0 reaches the local host and would answer for a missing computer) and
// the limited broadcast 255.255.255.255. Network byte order.
bool IsForbiddenEchoTarget(uint32_t address);

// Dotted text of an address in network byte order.
std::string AddressText(uint32_t address);

}  // namespace tellwen::net
