#include "platform/net/discovery_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace tellwen::net {

DiscoverySocket::DiscoverySocket(const SearchInterface& interface, int multicast_ttl) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
  if (fd_ < 0) return;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = interface.address;
  local.sin_port = 0;
  ip_mreqn request{};
  request.imr_address.s_addr = interface.address;
  request.imr_ifindex = static_cast<int>(interface.index);
  const unsigned char ttl = static_cast<unsigned char>(multicast_ttl);
  const unsigned char loop = 0;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0 ||
      ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
      ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

DiscoverySocket::~DiscoverySocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool DiscoverySocket::Send(uint32_t group, uint16_t port, const void* data, size_t size) {
  if (fd_ < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = group;
  to.sin_port = htons(port);
  return ::sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(size);
}

bool SearchStopping(const SearchLimits& limits) { return limits.stopping && limits.stopping(); }

void ReceiveUntil(const std::vector<DiscoverySocket*>& sockets, std::chrono::milliseconds wait,
                  const SearchLimits& limits, size_t max_bytes,
                  const std::function<void(const Datagram&)>& handle) {
  // Polled in short slices so that a stop request ends the wait soon.
  constexpr std::chrono::milliseconds kSlice{100};
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::vector<pollfd> fds;
  for (DiscoverySocket* socket : sockets) {
    if (socket->ok()) fds.push_back(pollfd{socket->fd(), POLLIN, 0});
  }
  if (fds.empty()) return;
  std::vector<uint8_t> buffer(max_bytes + 1);
  while (!SearchStopping(limits)) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    const int timeout = static_cast<int>(std::min(left, kSlice).count()) + 1;
    for (pollfd& p : fds) p.revents = 0;
    if (::poll(fds.data(), fds.size(), timeout) <= 0) continue;
    for (const pollfd& p : fds) {
      if ((p.revents & POLLIN) == 0) continue;
      for (;;) {
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        const ssize_t got = ::recvfrom(p.fd, buffer.data(), buffer.size(), MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&from), &from_size);
        if (got < 0) break;
        if (static_cast<size_t>(got) > max_bytes || from.sin_family != AF_INET) continue;
        Datagram datagram;
        datagram.bytes.assign(buffer.begin(), buffer.begin() + got);
        datagram.from_address = from.sin_addr.s_addr;
        datagram.from_port = ntohs(from.sin_port);
        handle(datagram);
      }
    }
  }
}

OpenedSockets OpenAndSend(const std::vector<SearchInterface>& interfaces, int multicast_ttl,
                          const char* group, uint16_t port, const void* data, size_t size,
                          int sends) {
  in_addr group_address{};
  ::inet_pton(AF_INET, group, &group_address);
  OpenedSockets sockets;
  for (const SearchInterface& interface : interfaces) {
    auto socket = std::make_unique<DiscoverySocket>(interface, multicast_ttl);
    if (!socket->ok()) continue;
    for (int i = 0; i < sends; ++i) socket->Send(group_address.s_addr, port, data, size);
    sockets.open.push_back(socket.get());
    sockets.owned.push_back(std::move(socket));
  }
  return sockets;
}

}  // namespace tellwen::net
