// ICMP echo: is a computer answering?
//
// EchoService is the interface the monitor and the web site's on-demand ping
// call, so that their tests run on a fake. IcmpEcho is the real one: it
// resolves the name to its first IPv4 address (platform/net/host_address.h),
// sends one echo request without data and waits up to the timeout for the
// matching reply.
//
// Sockets: an unprivileged ICMP datagram socket where the system allows it
// (the caller's group lies in net.ipv4.ping_group_range), a raw ICMP socket
// otherwise (root or CAP_NET_RAW). One socket per echo, closed before Echo
// returns. When neither kind can be opened, the echo reports kError and the
// process says so once, through the notice given at construction (by default
// to syslog and stderr), instead of reporting every computer dead in silence.
//
// Rules that keep the answer true:
// - a name that does not resolve is dead and nothing is sent;
// - no echo is sent to 0.0.0.0/8 or 255.255.255.255 (on Linux a packet to
//   0.0.0.0 reaches the local host, which would answer for any computer);
// - a reply counts only when it is an echo reply from the target address
//   carrying this echo's identifier and sequence number, so echoes running at
//   once in several threads (a raw socket sees every reply) never take each
//   other's answers.
//
// Thread safety: Echo may be called from any number of threads at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tellwen::net {

enum class EchoStatus {
  kAlive,  // the matching reply arrived within the timeout
  kDead,   // no reply, or the name does not resolve
  kError,  // no echo could be sent: no ICMP socket can be opened here
};

const char* EchoStatusText(EchoStatus status);

struct EchoReply {
  EchoStatus status = EchoStatus::kDead;
  bool sent = false;       // an echo request left through a socket
  std::string error_text;  // why nothing was sent, when something failed
};

class EchoService {
 public:
  virtual ~EchoService() = default;
  // One echo of host (a name or a dotted address) waiting at most
  // timeout_ms milliseconds (at least 1) for its reply.
  virtual EchoReply Echo(const std::string& host, int timeout_ms) = 0;
};

enum class EchoSocketKind { kNone, kDatagram, kRaw };

const char* EchoSocketKindName(EchoSocketKind kind);

// Opens and closes one ICMP socket as Echo would; the kind that opened, or
// kNone with *error_text saying why neither did.
EchoSocketKind ProbeEchoSocket(std::string* error_text);

class IcmpEcho : public EchoService {
 public:
  using Notice = std::function<void(const std::string& text)>;

  // unavailable: called once per object, the first time no ICMP socket can be
  // opened; empty means syslog(LOG_ERR) and stderr.
  explicit IcmpEcho(Notice unavailable = nullptr);

  EchoReply Echo(const std::string& host, int timeout_ms) override;
  // The same for an address already resolved (network byte order).
  EchoReply EchoAddress(uint32_t address, int timeout_ms);

  // The socket kind the last echo opened; kNone before the first.
  EchoSocketKind LastSocketKind() const { return last_kind_.load(); }

 private:
  Notice unavailable_;
  std::atomic<bool> reported_{false};
  std::atomic<EchoSocketKind> last_kind_{EchoSocketKind::kNone};
  std::atomic<uint16_t> next_sequence_;
  uint16_t identifier_;
};

// Whether a packet read from an echo socket of the given kind is the reply to
// the request with this identifier and sequence number. Datagram sockets
// deliver the ICMP message alone (the kernel has matched the identifier, which
// it chose itself); raw sockets deliver the IP header first and see every
// echo reply of the machine. The packet is untrusted: any bytes, any size.
bool IsMatchingEchoReply(const uint8_t* packet, size_t size, EchoSocketKind kind,
                         uint16_t identifier, uint16_t sequence);

// The text IcmpEcho reports when no ICMP socket can be opened.
std::string EchoUnavailableText(const std::string& reasons);

}  // namespace tellwen::net
