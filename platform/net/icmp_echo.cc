#include "platform/net/icmp_echo.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "base/keyed_table.h"
#include "platform/net/host_address.h"

namespace tellwen::net {
namespace {

constexpr uint8_t kEchoReply = 0;
constexpr uint8_t kEchoRequest = 8;
constexpr size_t kHeaderBytes = 8;  // type, code, checksum, identifier, sequence

uint16_t Checksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (size % 2 != 0) sum += static_cast<uint32_t>(data[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

std::string ErrnoText(int code) { return std::strerror(code); }

// Opens a datagram socket, else a raw one; -1 with *why filled when neither.
int OpenEchoSocket(EchoSocketKind* kind, std::string* why) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    *kind = EchoSocketKind::kDatagram;
    return fd;
  }
  const int datagram_error = errno;
  fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    // Only echo replies reach this socket; the rest of the ICMP traffic of
    // the machine is dropped by the kernel.
    icmp_filter filter{};
    filter.data = ~(1u << kEchoReply);
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    *kind = EchoSocketKind::kRaw;
    return fd;
  }
  const int raw_error = errno;
  *kind = EchoSocketKind::kNone;
  *why = "ICMP datagram socket: " + ErrnoText(datagram_error) +
         "; raw ICMP socket: " + ErrnoText(raw_error);
  return -1;
}

}  // namespace

bool IsMatchingEchoReply(const uint8_t* packet, size_t size, EchoSocketKind kind,
                         uint16_t identifier, uint16_t sequence) {
  size_t offset = 0;
  if (kind == EchoSocketKind::kRaw) {
    if (size < 20 || (packet[0] >> 4) != 4) return false;
    offset = static_cast<size_t>(packet[0] & 0x0F) * 4;
    if (offset < 20 || packet[9] != IPPROTO_ICMP) return false;
  }
  if (size < offset + kHeaderBytes) return false;
  const uint8_t* icmp = packet + offset;
  if (icmp[0] != kEchoReply || icmp[1] != 0) return false;
  if (Read16(icmp + 6) != sequence) return false;
  return kind != EchoSocketKind::kRaw || Read16(icmp + 4) == identifier;
}

const char* EchoStatusText(EchoStatus status) {
  static constexpr KeyedValue<EchoStatus, const char*> kTexts[] = {{EchoStatus::kAlive, "alive"},
                                                                   {EchoStatus::kDead, "dead"}};
  return LookUp(kTexts, status, "error");
}

const char* EchoSocketKindName(EchoSocketKind kind) {
  static constexpr KeyedValue<EchoSocketKind, const char*> kNames[] = {
      {EchoSocketKind::kDatagram, "unprivileged ICMP datagram socket"},
      {EchoSocketKind::kRaw, "raw ICMP socket"}};
  return LookUp(kNames, kind, "no ICMP socket");
}

std::string EchoUnavailableText(const std::string& reasons) {
  return "ICMP echo is not available on this machine (" + reasons +
         "); every computer counts as not answering. Let the program's group send echoes "
         "(sysctl net.ipv4.ping_group_range) or give it CAP_NET_RAW.";
}

EchoSocketKind ProbeEchoSocket(std::string* error_text) {
  EchoSocketKind kind = EchoSocketKind::kNone;
  std::string why;
  const int fd = OpenEchoSocket(&kind, &why);
  if (fd >= 0) ::close(fd);
  if (error_text != nullptr) *error_text = why;
  return kind;
}

IcmpEcho::IcmpEcho(Notice unavailable) : unavailable_(std::move(unavailable)) {
  std::random_device random;
  identifier_ = static_cast<uint16_t>(random());
  next_sequence_.store(static_cast<uint16_t>(random()));
}

EchoReply IcmpEcho::Echo(const std::string& host, int timeout_ms) {
  uint32_t address = 0;
  if (!ResolveIPv4(host, &address, timeout_ms)) return {EchoStatus::kDead, false, ""};
  return EchoAddress(address, timeout_ms);
}

EchoReply IcmpEcho::EchoAddress(uint32_t address, int timeout_ms) {
  if (IsForbiddenEchoTarget(address)) return {EchoStatus::kDead, false, ""};
  EchoSocketKind kind = EchoSocketKind::kNone;
  std::string why;
  const int fd = OpenEchoSocket(&kind, &why);
  last_kind_.store(kind);
  if (fd < 0) {
    if (!reported_.exchange(true)) {
      const std::string text = EchoUnavailableText(why);
      if (unavailable_) {
        unavailable_(text);
      } else {
        syslog(LOG_ERR, "%s", text.c_str());
        std::fprintf(stderr, "%s\n", text.c_str());
      }
    }
    return {EchoStatus::kError, false, why};
  }

  const uint16_t sequence = next_sequence_.fetch_add(1);
  uint8_t request[kHeaderBytes] = {kEchoRequest, 0, 0, 0};
  request[4] = static_cast<uint8_t>(identifier_ >> 8);
  request[5] = static_cast<uint8_t>(identifier_);
  request[6] = static_cast<uint8_t>(sequence >> 8);
  request[7] = static_cast<uint8_t>(sequence);
  const uint16_t sum = Checksum(request, sizeof request);
  request[2] = static_cast<uint8_t>(sum >> 8);
  request[3] = static_cast<uint8_t>(sum);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = address;
  if (::sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&target),
               sizeof target) != static_cast<ssize_t>(sizeof request)) {
    // Unreachable network, no route, refused by a filter: not answered.
    EchoReply reply{EchoStatus::kDead, false, ErrnoText(errno)};
    ::close(fd);
    return reply;
  }

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 1 ? 1 : timeout_ms);
  EchoReply reply{EchoStatus::kDead, true, ""};
  uint8_t packet[1500];
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t got = ::recvfrom(fd, packet, sizeof packet, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &from_size);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      break;
    }
    if (from.sin_addr.s_addr != address) continue;
    if (IsMatchingEchoReply(packet, static_cast<size_t>(got), kind, identifier_, sequence)) {
      reply.status = EchoStatus::kAlive;
      break;
    }
  }
  ::close(fd);
  return reply;
}

}  // namespace tellwen::net
