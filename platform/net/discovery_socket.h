// The UDP socket a discovery search sends its multicast query from: bound to
// one interface's address on a port of its own, multicast leaving through
// that interface only, its own packets not looped back. Replies come back to
// it by unicast.
//
// Thread safety: a DiscoverySocket is used by one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/discovery_search.h"

namespace tellwen::net {

class DiscoverySocket {
 public:
  // Opens the socket for `interface`; ok() is false when that fails.
  DiscoverySocket(const SearchInterface& interface, int multicast_ttl);
  ~DiscoverySocket();
  DiscoverySocket(const DiscoverySocket&) = delete;
  DiscoverySocket& operator=(const DiscoverySocket&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Sends one datagram to group:port (network byte order group, host order port).
  bool Send(uint32_t group, uint16_t port, const void* data, size_t size);

 private:
  int fd_ = -1;
};

// One datagram received: its bytes and where it came from.
struct Datagram {
  std::vector<uint8_t> bytes;
  uint32_t from_address = 0;  // network byte order
  uint16_t from_port = 0;     // host order
};

// Receives on `sockets` until `wait` has passed or limits.stopping() is true,
// handing each datagram (at most max_bytes; longer ones are dropped) to
// `handle`.
void ReceiveUntil(const std::vector<DiscoverySocket*>& sockets, std::chrono::milliseconds wait,
                  const SearchLimits& limits, size_t max_bytes,
                  const std::function<void(const Datagram&)>& handle);

// The sockets of one search, one for each interface that could be opened.
struct OpenedSockets {
  std::vector<std::unique_ptr<DiscoverySocket>> owned;
  std::vector<DiscoverySocket*> open;  // the same sockets, for ReceiveUntil
};

// Opens a socket with multicast_ttl on each interface and sends the query
// (`size` bytes of `data`) `sends` times from it to group:port (group in
// dotted form, port in host order).
OpenedSockets OpenAndSend(const std::vector<SearchInterface>& interfaces, int multicast_ttl,
                          const char* group, uint16_t port, const void* data, size_t size,
                          int sends);

// True when limits.stopping says the search must end.
bool SearchStopping(const SearchLimits& limits);

}  // namespace tellwen::net
