#include "platform/isapi/accept_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strings.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/text_trim.h"
#include "platform/isapi/chunked_body.h"
#include "platform/isapi/extension_request.h"
#include "platform/isapi/request_framing.h"

namespace tellwen::isapi {

using Clock = std::chrono::steady_clock;

namespace {

// The answer bytes held for a client before civetweb is made to wait.
constexpr std::size_t kRelayBytes = 256 << 10;
// A client that takes no answer bytes for this long is let go.
constexpr int kWriteStallSeconds = 60;
// A closed connection's last bytes from the client are read for this long.
constexpr int kLingerSeconds = 2;

bool HasToken(const std::string& list, const char* token) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    if (strcasecmp(Trim(list.substr(start, comma - start)).c_str(), token) == 0) return true;
    if (comma == std::string::npos) return false;
    start = comma + 1;
  }
}

// The lines of a head (without its blank line), each without its line end.
std::vector<std::string> HeadLines(const std::string& head) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < head.size()) {
    std::size_t end = head.find('\n', start);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Where the head ends (one past its blank line), or npos.
std::size_t HeadEnd(const std::string& data) {
  const std::size_t crlf = data.find("\r\n\r\n");
  const std::size_t lf = data.find("\n\n");
  if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
  return lf + 2;
}

bool NameIs(const std::string& line, const char* name) {
  const std::size_t length = std::strlen(name);
  return line.size() > length && line[length] == ':' &&
         strncasecmp(line.c_str(), name, length) == 0;
}

// Sends what *pending holds to fd, taking off what was sent, until it is
// empty or fd would block. False when the peer is gone (the send failed or
// took nothing); what was not sent stays in *pending.
bool SendPending(int fd, std::string* pending) {
  while (!pending->empty()) {
    const ssize_t sent = send(fd, pending->data(), pending->size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && errno == EAGAIN) return true;
    if (sent <= 0) return false;
    pending->erase(0, static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace

struct AcceptFront::Connection {
  enum class State {
    kWaiting,   // for (the rest of) a request
    kRelaying,  // a request is with civetweb, or an answer is going out
    kClosing,   // the answer is out; the client's last bytes are read
  };
  std::uint64_t id = 0;
  int client = -1;
  int upstream = -1;
  int upstream_local_port = 0;
  std::string address;  // the client's
  int client_port = 0;
  State state = State::kWaiting;
  std::string in;  // bytes from the client not yet handed on
  std::string to_upstream;
  std::string to_client;
  bool sent_continue = false;
  bool keep_alive = false;    // the client may send another request
  bool head_request = false;  // the request being answered is a HEAD
  bool response_head_done = false;
  std::string response_head;  // the answer's head while it arrives
  bool upstream_done = false;
  bool client_eof = false;
  bool request_started = false;
  ChunkedScan chunk_scan;      // of the request's chunked body, as far as it came
  Clock::time_point started;   // the request's first byte
  Clock::time_point deadline;  // of the present state
};

AcceptFront::AcceptFront(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

AcceptFront::~AcceptFront() {
  Stop();
  if (listen_fd_ >= 0) close(listen_fd_);
}

Status AcceptFront::Listen(const std::string& address, int port) {
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
    return Status::InvalidArgument("'" + address + "' is not an IPv4 address");
  }
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd_ < 0) return Status::IoError(std::strerror(errno));
  const int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
      listen(listen_fd_, SOMAXCONN) != 0) {
    const std::string error = std::strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    return Status::IoError(error);
  }
  socklen_t size = sizeof where;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&where), &size);
  port_ = ntohs(where.sin_port);
  return Status::Ok();
}

Status AcceptFront::Start(int upstream_port) {
  upstream_port_ = upstream_port;
  epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_fd_ < 0 || wake_fd_ < 0 || listen_fd_ < 0) {
    return Status::IoError(std::string("cannot start the accepting front: ") +
                           std::strerror(errno));
  }
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = 0;  // the listening socket
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &event);
  event.data.u64 = 1;  // the wake-up
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &event);
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return Status::Ok();
}

void AcceptFront::Stop(int drain_ms) {
  if (!thread_.joinable()) return;
  drain_ms_ = drain_ms;
  stop_ = true;
  const std::uint64_t one = 1;
  ssize_t ignored = write(wake_fd_, &one, sizeof one);
  (void)ignored;
  thread_.join();
  while (!connections_.empty()) Close(connections_.begin()->first);
  close(epoll_fd_);
  close(wake_fd_);
  epoll_fd_ = wake_fd_ = -1;
  if (listen_fd_ >= 0) close(listen_fd_);
  listen_fd_ = -1;
}

bool AcceptFront::PeerOf(int local_port, std::string* address, int* port) const {
  std::lock_guard<std::mutex> lock(peers_mutex_);
  auto it = peers_.find(local_port);
  if (it == peers_.end()) return false;
  *address = it->second.first;
  *port = it->second.second;
  return true;
}

void AcceptFront::Run() {
  std::vector<epoll_event> events(256);
  auto last_check = Clock::now();
  bool draining = false;
  Clock::time_point drain_end;
  for (;;) {
    if (stop_ && !draining) {
      // No new connection; the answers under way may finish.
      draining = true;
      drain_end = Clock::now() + std::chrono::milliseconds(drain_ms_.load());
      epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, listen_fd_, nullptr);
      accept_paused_ = false;
    }
    if (draining) {
      std::vector<std::uint64_t> done;
      bool relaying = false;
      for (const auto& [id, c] : connections_) {
        if (c->state == Connection::State::kRelaying) {
          relaying = true;
        } else {
          done.push_back(id);
        }
      }
      for (std::uint64_t id : done) Close(id);
      if (!relaying || Clock::now() >= drain_end) return;
    }
    const int count = epoll_wait(epoll_fd_, events.data(), static_cast<int>(events.size()), 250);
    for (int i = 0; i < count; ++i) {
      const std::uint64_t key = events[i].data.u64;
      if (key == 0) {
        Accept();
        continue;
      }
      if (key == 1) continue;
      auto it = connections_.find(key >> 1);
      if (it == connections_.end()) continue;
      if (key & 1) {
        OnUpstream(*it->second, events[i].events);
      } else {
        OnClient(*it->second, events[i].events);
      }
    }
    if (Clock::now() - last_check > std::chrono::milliseconds(250)) {
      CheckDeadlines();
      last_check = Clock::now();
    }
  }
}

void AcceptFront::Accept() {
  for (;;) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const int fd = accept4(listen_fd_, reinterpret_cast<sockaddr*>(&from), &size,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of files: the idlest connection makes room, or accepting
        // waits for the next deadline check.
        if (EvictIdlest()) continue;
        epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, listen_fd_, nullptr);
        accept_paused_ = true;
      }
      return;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Connection>();
    c->id = next_id_++;
    c->client = fd;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    c->address = text;
    c->client_port = ntohs(from.sin_port);
    c->deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = c->id << 1;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event);
    connections_[c->id] = std::move(c);
  }
}

bool AcceptFront::EvictIdlest() {
  std::uint64_t idlest = 0;
  Clock::time_point earliest = Clock::time_point::max();
  for (const auto& [id, c] : connections_) {
    if (c->state == Connection::State::kWaiting && c->in.empty() && c->deadline < earliest) {
      earliest = c->deadline;
      idlest = id;
    }
  }
  if (idlest == 0) return false;
  Close(idlest);
  return true;
}

void AcceptFront::Watch(Connection& c) {
  epoll_event event{};
  event.data.u64 = c.id << 1;
  switch (c.state) {
    case Connection::State::kWaiting:
    case Connection::State::kClosing:
      event.events = EPOLLIN | EPOLLRDHUP;
      break;
    case Connection::State::kRelaying:
      // The client's further bytes (a next request) wait in the kernel.
      event.events = c.to_client.empty() ? 0u : static_cast<std::uint32_t>(EPOLLOUT);
      break;
  }
  epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, c.client, &event);
  if (c.upstream >= 0) {
    epoll_event up{};
    up.data.u64 = (c.id << 1) | 1;
    up.events = !c.to_upstream.empty()             ? static_cast<std::uint32_t>(EPOLLOUT)
                : c.to_client.size() < kRelayBytes ? static_cast<std::uint32_t>(EPOLLIN)
                                                   : 0u;
    epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, c.upstream, &up);
  }
}

void AcceptFront::OnClient(Connection& c, std::uint32_t events) {
  const std::uint64_t id = c.id;
  if (c.state == Connection::State::kRelaying) {
    if (events & (EPOLLERR | EPOLLHUP)) {
      Close(id);
      return;
    }
    if (!SendPending(c.client, &c.to_client)) {
      Close(id);
      return;
    }
    // Only a client that takes no bytes offered to it is late.
    c.deadline = c.to_client.empty() ? Clock::time_point::max()
                                     : Clock::now() + std::chrono::seconds(kWriteStallSeconds);
    if (c.to_client.empty() && c.upstream_done) {
      Finish(c);
      return;
    }
    Watch(c);
    return;
  }
  char block[16 << 10];
  for (;;) {
    const ssize_t got = recv(c.client, block, sizeof block, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) break;
    if (got <= 0) {
      if (c.state == Connection::State::kClosing || c.in.empty() || got < 0) {
        Close(id);
        return;
      }
      c.client_eof = true;  // a request may still be whole
      break;
    }
    if (c.state == Connection::State::kClosing) continue;  // read and dropped
    const std::size_t bytes = static_cast<std::size_t>(got);
    std::size_t& mine = buffered_by_address_[c.address];
    if (buffered_ + bytes > kMaxBufferedBytes || mine + bytes > kMaxBufferedBytesPerAddress) {
      Answer(c, 503, "Service Unavailable", "The server is too busy; try again.");
      return;
    }
    c.in.append(block, bytes);
    buffered_ += bytes;
    mine += bytes;
    if (c.in.size() > kMaxHeadBytes + kMaxPostedBytes + (1 << 20)) break;
  }
  if (c.state == Connection::State::kWaiting) TryRequest(c);
  if (connections_.count(id) != 0 && c.client_eof && c.state == Connection::State::kWaiting) {
    Close(id);  // the client left with half a request
  }
}

void AcceptFront::Unbuffer(Connection& c, std::size_t bytes) {
  buffered_ -= bytes;
  auto mine = buffered_by_address_.find(c.address);
  if (mine == buffered_by_address_.end()) return;
  mine->second -= bytes;
  if (mine->second == 0) buffered_by_address_.erase(mine);
}

void AcceptFront::TryRequest(Connection& c) {
  // Empty lines before a request line are skipped (some clients end a
  // posted body with one more).
  std::size_t blank = 0;
  while (c.in.compare(blank, 2, "\r\n") == 0) blank += 2;
  c.in.erase(0, blank);
  Unbuffer(c, blank);
  if (c.in.empty()) return;
  const Clock::time_point now = Clock::now();
  if (!c.request_started) {
    c.request_started = true;
    c.started = now;
    c.deadline = now + std::chrono::seconds(kHeadSeconds);
  }
  const std::size_t head_end = HeadEnd(c.in);
  if (head_end == std::string::npos || head_end > kMaxHeadBytes) {
    if (c.in.size() > kMaxHeadBytes || head_end != std::string::npos) {
      Answer(c, 431, "Request Header Fields Too Large", "The request's head is too large.");
    }
    return;
  }
  RequestHead parsed;
  std::string why;
  const int refused = ParseRequestHead(std::string_view(c.in).substr(0, head_end), &parsed, &why);
  if (refused == 501) {
    Answer(c, 501, "Not Implemented", "This server does not serve that: " + why + ".");
    return;
  }
  if (refused == 431) {
    Answer(c, 431, "Request Header Fields Too Large", "The request's head has " + why + ".");
    return;
  }
  if (refused != 0) {
    Answer(c, 400, "Bad Request", "The request is malformed: " + why + ".");
    return;
  }
  const bool http11 = parsed.version == "1.1";
  std::string forwarded = parsed.method + " " + parsed.target + " HTTP/" + parsed.version + "\r\n";
  bool close_said = false, keep_alive_said = false, expect_continue = false, chunked = false;
  std::uint64_t length = 0;
  for (const auto& [name, value] : parsed.headers) {
    // Every Connection line counts: one "close" among them closes.
    if (strcasecmp(name.c_str(), "Connection") == 0) {
      close_said = close_said || HasToken(value, "close");
      keep_alive_said = keep_alive_said || HasToken(value, "keep-alive");
      continue;
    }
    if (strcasecmp(name.c_str(), "Keep-Alive") == 0 ||
        strcasecmp(name.c_str(), "Proxy-Connection") == 0) {
      continue;
    }
    if (strcasecmp(name.c_str(), "Expect") == 0) {
      expect_continue = HasToken(value, "100-continue");
      continue;
    }
    if (strcasecmp(name.c_str(), "Content-Length") == 0) {
      length = std::strtoull(value.c_str(), nullptr, 10);
    }
    if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
      chunked = true;  // handed on decoded, with its length
      continue;
    }
    forwarded += name + ": " + value + "\r\n";
  }
  const bool close_asked = close_said || (!http11 && !keep_alive_said);
  const std::string fault = FramingFault(parsed.version, parsed.headers);
  if (!fault.empty()) {
    Answer(c, 400, "Bad Request", "The request's length is ambiguous: " + fault + ".");
    return;
  }
  std::size_t end = head_end;
  bool whole = true;
  if (chunked) {
    // Scanned on from where the last piece ended: a body of many small
    // chunks is read once, not once per piece that arrives.
    if (c.chunk_scan.at < head_end) c.chunk_scan = ChunkedScan{head_end, 0, 0, false};
    const ChunkedEnd found = ScanChunked(c.in, &c.chunk_scan, &end);
    if (found == ChunkedEnd::kMalformed) {
      Answer(c, 400, "Bad Request", "The request's chunked body is malformed.");
      return;
    }
    length = c.chunk_scan.decoded + c.chunk_scan.announced;
    // The coding's own bytes count too: tiny chunks with long extensions
    // would otherwise take megabytes for a few bytes of data.
    if (length > kMaxPostedBytes ||
        (found != ChunkedEnd::kComplete && c.in.size() - head_end > kMaxPostedBytes + (1 << 20))) {
      Answer(c, 413, "Payload Too Large", "The posted data is too large.");
      return;
    }
    whole = found == ChunkedEnd::kComplete;
  } else {
    if (length > kMaxPostedBytes) {
      Answer(c, 413, "Payload Too Large", "The posted data is too large.");
      return;
    }
    end = head_end + length;
    whole = c.in.size() >= end;
  }
  // The body keeps to the least rate from the head's time on: the time
  // allowed grows with the bytes that came, not with the length announced,
  // so a body that stops coming is let go after the head's time.
  const std::uint64_t came = std::min<std::uint64_t>(length, c.in.size() - head_end);
  c.deadline = c.started + std::chrono::seconds(kHeadSeconds) +
               std::chrono::milliseconds(came * 1000 / kMinBodyBytesPerSecond);
  if (!whole) {
    if (expect_continue && http11 && !c.sent_continue) {
      c.sent_continue = true;
      const char* interim = "HTTP/1.1 100 Continue\r\n\r\n";
      send(c.client, interim, std::strlen(interim), MSG_NOSIGNAL);
    }
    return;
  }
  c.keep_alive = !close_asked && !c.client_eof;
  c.head_request = parsed.method == "HEAD";
  if (chunked) forwarded += "Content-Length: " + std::to_string(length) + "\r\n";
  forwarded += "Connection: close\r\n\r\n";
  if (chunked) {
    AppendChunkedData(c.in, head_end, end, &forwarded);
  } else {
    forwarded.append(c.in, head_end, end - head_end);
  }
  c.in.erase(0, end);
  Unbuffer(c, end);
  c.request_started = false;
  c.chunk_scan = ChunkedScan{};
  c.sent_continue = false;
  Forward(c, forwarded);
}

void AcceptFront::Forward(Connection& c, const std::string& request) {
  c.state = Connection::State::kRelaying;
  c.response_head_done = false;
  c.response_head.clear();
  c.upstream_done = false;
  c.deadline = Clock::time_point::max();  // civetweb bounds its own work
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&where), size) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
    if (fd >= 0) close(fd);
    Answer(c, 503, "Service Unavailable", "The server is too busy; try again.");
    return;
  }
  c.upstream = fd;
  c.upstream_local_port = ntohs(where.sin_port);
  {
    std::lock_guard<std::mutex> lock(peers_mutex_);
    peers_[c.upstream_local_port] = {c.address, c.client_port};
  }
  where.sin_port = htons(static_cast<std::uint16_t>(upstream_port_));
  if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 && errno != EINPROGRESS) {
    CloseUpstream(c);
    Answer(c, 503, "Service Unavailable", "The server is stopping.");
    return;
  }
  c.to_upstream = request;
  epoll_event event{};
  event.events = EPOLLOUT;
  event.data.u64 = (c.id << 1) | 1;
  epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, fd, &event);
  Watch(c);
}

void AcceptFront::OnUpstream(Connection& c, std::uint32_t events) {
  if (!SendPending(c.upstream, &c.to_upstream)) {
    // civetweb answers some requests (a refusal) before it has read them
    // whole, then closes: the rest is not wanted, and its answer is read.
    c.to_upstream.clear();
    events |= EPOLLIN;
  }
  if (c.upstream >= 0 && c.to_upstream.empty() && (events & (EPOLLIN | EPOLLHUP | EPOLLERR))) {
    char block[64 << 10];
    while (c.to_client.size() < kRelayBytes) {
      const ssize_t got = recv(c.upstream, block, sizeof block, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno == EAGAIN) break;
      if (got <= 0) {
        CloseUpstream(c);
        c.upstream_done = true;
        break;
      }
      if (c.response_head_done) {
        c.to_client.append(block, static_cast<std::size_t>(got));
      } else {
        c.response_head.append(block, static_cast<std::size_t>(got));
        ParseResponseHead(c);
      }
    }
  }
  if (c.upstream_done && !c.response_head_done) {
    // civetweb closed without a whole head.
    c.response_head_done = true;
    c.keep_alive = false;
    if (c.response_head.empty()) {
      c.upstream_done = false;
      Answer(c, 503, "Service Unavailable", "The server could not answer; try again.");
      return;
    }
    c.to_client += c.response_head;
  }
  if (!c.to_client.empty() && c.deadline == Clock::time_point::max()) {
    c.deadline = Clock::now() + std::chrono::seconds(kWriteStallSeconds);
  }
  if (c.upstream_done && c.to_client.empty()) {
    Finish(c);
    return;
  }
  Watch(c);
}

void AcceptFront::ParseResponseHead(Connection& c) {
  const std::size_t head_end = HeadEnd(c.response_head);
  if (head_end == std::string::npos) return;
  const std::vector<std::string> lines = HeadLines(c.response_head.substr(0, head_end));
  std::string head;
  // An answer that has no body by its kind ends with its head: the answer to
  // a HEAD, a 204, a 304.
  const int status = !lines.empty() && lines[0].size() > 9 ? std::atoi(lines[0].c_str() + 9) : 0;
  bool framed = c.head_request || status == 204 || status == 304;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (i > 0 && (NameIs(line, "Connection") || NameIs(line, "Keep-Alive"))) continue;
    if (NameIs(line, "Content-Length")) framed = true;
    if (NameIs(line, "Transfer-Encoding") && HasToken(line.substr(line.find(':') + 1), "chunked")) {
      framed = true;
    }
    head += line + "\r\n";
  }
  c.keep_alive = c.keep_alive && framed;
  if (!c.keep_alive) head += "Connection: close\r\n";
  head += "\r\n";
  c.to_client += head;
  c.to_client.append(c.response_head, head_end, std::string::npos);
  c.response_head.clear();
  c.response_head_done = true;
}

void AcceptFront::Answer(Connection& c, int status, const char* reason, const std::string& text) {
  CloseUpstream(c);
  const std::string body = text + "\n";
  c.to_client = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n\r\n" + body;
  c.keep_alive = false;
  c.response_head_done = true;
  c.upstream_done = true;
  c.state = Connection::State::kRelaying;
  c.deadline = Clock::now() + std::chrono::seconds(kWriteStallSeconds);
  log_(c.address + " answered " + std::to_string(status) + ": " + text);
  Watch(c);
}

void AcceptFront::Finish(Connection& c) {
  if (c.keep_alive) {
    c.state = Connection::State::kWaiting;
    c.deadline = Clock::now() + std::chrono::seconds(kIdleSeconds);
    Watch(c);
    // A next request may have come along with the last one.
    const std::uint64_t id = c.id;
    TryRequest(c);
    if (connections_.count(id) == 0) return;
    // Bytes of it may still wait in the kernel.
    OnClient(c, EPOLLIN);
    return;
  }
  // Close gracefully: the client's unread bytes would otherwise reset the
  // connection and lose the answer before the client reads it.
  shutdown(c.client, SHUT_WR);
  c.state = Connection::State::kClosing;
  c.deadline = Clock::now() + std::chrono::seconds(kLingerSeconds);
  Watch(c);
}

void AcceptFront::CloseUpstream(Connection& c) {
  if (c.upstream < 0) return;
  epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, c.upstream, nullptr);
  close(c.upstream);
  c.upstream = -1;
  c.to_upstream.clear();
  std::lock_guard<std::mutex> lock(peers_mutex_);
  peers_.erase(c.upstream_local_port);
}

void AcceptFront::Close(std::uint64_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  Connection& c = *it->second;
  Unbuffer(c, c.in.size());
  CloseUpstream(c);
  epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, c.client, nullptr);
  close(c.client);
  connections_.erase(it);
  if (accept_paused_ && !stop_) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = 0;
    epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, listen_fd_, &event);
    accept_paused_ = false;
  }
}

void AcceptFront::CheckDeadlines() {
  const Clock::time_point now = Clock::now();
  std::vector<std::uint64_t> late;
  for (const auto& [id, c] : connections_) {
    if (c->deadline <= now) late.push_back(id);
  }
  for (std::uint64_t id : late) {
    Connection& c = *connections_[id];
    if (c.state == Connection::State::kWaiting && c.request_started) {
      Answer(c, 408, "Request Timeout", "The request did not arrive in time.");
    } else {
      Close(id);
    }
  }
}

}  // namespace tellwen::isapi
