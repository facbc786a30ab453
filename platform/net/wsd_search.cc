// The WS-Discovery search (discovery_search.h): Probe, ProbeMatches, and the
// metadata Get over HTTP that names each computer and its workgroup.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/net/discovery_search.h"
#include "platform/net/discovery_socket.h"
#include "platform/net/host_address.h"
#include "platform/net/ws_discovery_messages.h"

namespace tellwen::net {
namespace {

constexpr uint16_t kWsdPort = 3702;
constexpr const char* kWsdGroup = "239.255.255.250";
// The Probe goes out twice (UDP may lose one), as WS-Discovery suggests.
constexpr int kProbeSends = 2;
// How long the Resolves of matches without XAddrs are waited for.
constexpr std::chrono::milliseconds kWsdResolveWait{1500};
// All metadata Gets of one search together.
constexpr std::chrono::milliseconds kWsdMetadataBudget{10000};
// Most matches one search keeps (a flood of replies is cut there).
constexpr size_t kMaxMatches = 1024;
// Largest HTTP head of a metadata reply.
constexpr size_t kMaxHttpHeadBytes = 16 * 1024;

struct Match {
  std::string endpoint;
  uint32_t from = 0;
  std::vector<std::string> xaddrs;
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int MillisLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  const int left = MillisLeft(deadline);
  if (left <= 0) return false;
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, left) == 1 && (p.revents & events) != 0;
}

// Case-insensitive ASCII prefix test for HTTP header names.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// The body of a "200" HTTP/1.x reply read whole: up to its Content-Length,
// or without one, everything up to the end of the connection (`closed`).
// nullopt for anything else, and while more is to come.
std::optional<std::string> HttpBody(const std::string& reply, bool closed) {
  const size_t head_end = reply.find("\r\n\r\n");
  if (head_end == std::string::npos || head_end > kMaxHttpHeadBytes) return std::nullopt;
  std::string_view head(reply.data(), head_end);
  if (!(StartsWithNoCase(head, "HTTP/1.1 200") || StartsWithNoCase(head, "HTTP/1.0 200"))) {
    return std::nullopt;
  }
  std::string body = reply.substr(head_end + 4);
  bool has_length = false;
  size_t line_start = head.find("\r\n");
  while (line_start != std::string_view::npos) {
    line_start += 2;
    size_t line_end = head.find("\r\n", line_start);
    std::string_view line =
        head.substr(line_start, line_end == std::string_view::npos ? std::string_view::npos
                                                                   : line_end - line_start);
    if (StartsWithNoCase(line, "transfer-encoding:")) return std::nullopt;  // not chunked here
    if (StartsWithNoCase(line, "content-length:")) {
      size_t length = 0;
      size_t i = std::string_view("content-length:").size();
      while (i < line.size() && line[i] == ' ') ++i;
      if (i == line.size()) return std::nullopt;
      for (; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9') return std::nullopt;
        length = length * 10 + static_cast<size_t>(line[i] - '0');
        if (length > kWsdMaxMetadataBytes) return std::nullopt;
      }
      if (body.size() < length) return std::nullopt;
      body.resize(length);
      has_length = true;
    }
    line_start = line_end;
  }
  if (!has_length && !closed) return std::nullopt;
  return body;
}

// POSTs `body` to address:port path and returns the reply's body; nullopt
// on any failure, a reply too large, or the deadline.
std::optional<std::string> HttpPost(uint32_t address, const HttpXAddr& xaddr,
                                    const std::string& body, const SearchLimits& limits) {
  const auto deadline = std::chrono::steady_clock::now() + kWsdMetadataTimeout;
  Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP));
  if (fd.get() < 0) return std::nullopt;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(xaddr.port);
  if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (errno != EINPROGRESS || !WaitFor(fd.get(), POLLOUT, deadline)) return std::nullopt;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      return std::nullopt;
    }
  }
  std::string request = "POST ";
  request += xaddr.path;
  request += " HTTP/1.1\r\nHost: ";
  request += AddressText(address);
  request += ':';
  request += std::to_string(xaddr.port);
  request += "\r\nContent-Type: ";
  request += kWsdSoapContentType;
  request += "\r\nContent-Length: ";
  request += std::to_string(body.size());
  request += "\r\nConnection: close\r\n\r\n";
  request += body;
  size_t sent = 0;
  while (sent < request.size()) {
    if (SearchStopping(limits) || !WaitFor(fd.get(), POLLOUT, deadline)) return std::nullopt;
    const ssize_t n = ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return std::nullopt;
    sent += static_cast<size_t>(n);
  }
  std::string reply;
  char buffer[8192];
  for (;;) {
    if (SearchStopping(limits) || !WaitFor(fd.get(), POLLIN, deadline)) return std::nullopt;
    const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    reply.append(buffer, static_cast<size_t>(n));
    if (reply.size() > kWsdMaxMetadataBytes + kMaxHttpHeadBytes) return std::nullopt;
    // A reply with its whole Content-Length is complete without waiting for the close.
    if (std::optional<std::string> done = HttpBody(reply, false)) return done;
  }
  return HttpBody(reply, true);
}

// The computer a match describes, asked by its metadata.
FoundComputer DescribeMatch(const Match& match, const SearchLimits& limits) {
  FoundComputer found;
  found.address = match.from;
  const std::string from = AddressText(match.from);
  for (const std::string& text : match.xaddrs) {
    std::optional<HttpXAddr> xaddr = ParseHttpXAddr(text);
    if (!xaddr || xaddr->host != from) continue;  // only where the match came from
    const std::string id = NewMessageId();
    std::optional<std::string> body =
        HttpPost(match.from, *xaddr, BuildWsdMetadataGet(id, match.endpoint), limits);
    if (!body) continue;
    std::optional<WsdComputer> computer = ParseWsdMetadataResponse(*body, id);
    if (!computer) continue;
    found.name = computer->name;
    found.workgroup = !computer->workgroup.empty() ? computer->workgroup : computer->domain;
    break;
  }
  return found;
}

// Matches that came without XAddrs (a responder may leave them out of its
// ProbeMatch) get a Resolve each, whose ResolveMatches carries them. Only a
// reply from the address the match came from counts.
void ResolveAddresses(const std::vector<DiscoverySocket*>& sockets, const SearchLimits& limits,
                      std::vector<Match>* matches) {
  in_addr group{};
  ::inet_pton(AF_INET, kWsdGroup, &group);
  std::vector<std::pair<std::string, Match*>> pending;  // Resolve id, its match
  for (Match& match : *matches) {
    if (!match.xaddrs.empty()) continue;
    const std::string id = NewMessageId();
    const std::string resolve = BuildWsdResolve(id, match.endpoint);
    for (DiscoverySocket* socket : sockets) {
      socket->Send(group.s_addr, kWsdPort, resolve.data(), resolve.size());
    }
    pending.emplace_back(id, &match);
  }
  if (pending.empty()) return;
  size_t resolved = 0;
  SearchLimits until_resolved;
  until_resolved.stopping = [&] { return SearchStopping(limits) || resolved == pending.size(); };
  ReceiveUntil(sockets, kWsdResolveWait, until_resolved, kWsdMaxDatagramBytes,
               [&](const Datagram& datagram) {
                 std::string_view packet(reinterpret_cast<const char*>(datagram.bytes.data()),
                                         datagram.bytes.size());
                 for (auto& [id, match] : pending) {
                   if (!match->xaddrs.empty() || match->from != datagram.from_address) continue;
                   std::optional<std::vector<WsdProbeMatch>> parsed =
                       ParseWsdResolveMatches(packet, id);
                   if (!parsed) continue;
                   for (const WsdProbeMatch& answer : *parsed) {
                     if (answer.endpoint != match->endpoint || answer.xaddrs.empty()) continue;
                     match->xaddrs = answer.xaddrs;
                     ++resolved;
                     break;
                   }
                 }
               });
}

}  // namespace

std::vector<FoundComputer> SearchWsDiscovery(const std::vector<SearchInterface>& interfaces,
                                             const SearchLimits& limits) {
  std::vector<FoundComputer> found;
  if (interfaces.empty() || SearchStopping(limits)) return found;
  const std::string id = NewMessageId();
  const std::string probe = BuildWsdProbe(id);
  const OpenedSockets sockets =
      OpenAndSend(interfaces, 1, kWsdGroup, kWsdPort, probe.data(), probe.size(), kProbeSends);

  std::vector<Match> matches;
  ReceiveUntil(
      sockets.open, limits.wait, limits, kWsdMaxDatagramBytes, [&](const Datagram& datagram) {
        std::string_view packet(reinterpret_cast<const char*>(datagram.bytes.data()),
                                datagram.bytes.size());
        std::optional<std::vector<WsdProbeMatch>> parsed = ParseWsdProbeMatches(packet, id);
        if (!parsed) return;
        for (const WsdProbeMatch& match : *parsed) {
          if (!match.is_computer) continue;
          if (std::any_of(matches.begin(), matches.end(), [&](const Match& m) {
                return m.endpoint == match.endpoint && m.from == datagram.from_address;
              })) {
            continue;
          }
          if (matches.size() < kMaxMatches) {
            matches.push_back(Match{match.endpoint, datagram.from_address, match.xaddrs});
          }
        }
      });

  ResolveAddresses(sockets.open, limits, &matches);
  // Metadata Gets one after the other, within a budget of their own: past
  // it (many slow devices), the rest are kept with their addresses only.
  const auto metadata_deadline = std::chrono::steady_clock::now() + kWsdMetadataBudget;
  for (const Match& match : matches) {
    if (SearchStopping(limits)) break;
    if (std::chrono::steady_clock::now() < metadata_deadline) {
      found.push_back(DescribeMatch(match, limits));
    } else {
      found.push_back(FoundComputer{"", match.from, ""});
    }
  }
  return found;
}

}  // namespace tellwen::net
