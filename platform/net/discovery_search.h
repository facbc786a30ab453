// The network searches for computers that announce themselves (WS-Discovery
// and mDNS), over sockets. Each search sends its query on the IPv4
// interfaces it is given, by name, and nowhere else; an empty list sends
// nothing. It waits a bounded time for replies, ends early when `stopping`
// says so, and never answers or announces anything itself. Replies are
// untrusted and go through the message parsers (ws_discovery_messages.h,
// mdns_messages.h); a bad reply is dropped.
//
// Thread safety: the functions may run in several threads at once; each
// uses sockets of its own. `stopping` is called from the searching thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tellwen::net {

// How long a search waits for replies after its query: long enough for a
// responder's random answer delay (up to 500 ms in WS-Discovery, 120 ms in
// mDNS) and a slow LAN, short enough that the index job starts scanning soon.
inline constexpr std::chrono::milliseconds kDiscoveryWait{3000};
// How long one metadata Get of WS-Discovery (connect, send, read) may take.
inline constexpr std::chrono::milliseconds kWsdMetadataTimeout{2000};

// An interface a search may send on: its name and first IPv4 address.
struct SearchInterface {
  std::string name;
  uint32_t address = 0;  // network byte order
  unsigned index = 0;    // kernel interface index
};

// Every interface that is up, not loopback and has an IPv4 address.
std::vector<SearchInterface> DefaultSearchInterfaces();
// The interfaces of `names` that exist, are up and have an IPv4 address, in
// the order named; other names are left out.
std::vector<SearchInterface> SearchInterfacesNamed(const std::vector<std::string>& names);

struct SearchLimits {
  std::chrono::milliseconds wait = kDiscoveryWait;
  std::function<bool()> stopping;  // may be empty
};

// A computer a search found.
struct FoundComputer {
  std::string name;       // usable computer name, or "" when none was given
  uint32_t address = 0;   // the address it answered from (network byte order)
  std::string workgroup;  // workgroup or domain; "" when unknown
};

// WS-Discovery: a Probe for devices to 239.255.255.250:3702 on each
// interface; each match that is a computer (pub:Computer among its types)
// is then asked for its metadata (HTTP POST to its XAddr, only when the
// XAddr's host is the address the match came from; a match without XAddrs
// gets a Resolve first, waited for up to 1.5 s more). A match whose
// metadata cannot be had (or is not reached within 10 s of metadata Gets
// in all) is kept with its address only.
std::vector<FoundComputer> SearchWsDiscovery(const std::vector<SearchInterface>& interfaces,
                                             const SearchLimits& limits);

// mDNS: a PTR query for "_smb._tcp.local" to 224.0.0.251:5353 on each
// interface, sent from a port of its own so that responders answer it by
// unicast (we never listen on 5353). Computers are the SRV targets' names.
std::vector<FoundComputer> SearchMdns(const std::vector<SearchInterface>& interfaces,
                                      const SearchLimits& limits);

}  // namespace tellwen::net
