// kivweb's accepting front: the one thread that holds every client
// connection while it is idle or still sending its request, so that slow or
// idle clients never hold a request thread.
//
// civetweb gives each connection a request thread for as long as the
// connection lasts; a few hundred idle or trickling clients would hold them
// all. So the public port belongs to this front, an epoll loop that
//  - accepts connections (any number, up to the process's open-file limit;
//    at the limit, the connection idle the longest is closed for the new
//    one);
//  - reads each request whole, head and body, before anything serves it:
//    the head within kHeadSeconds of its first byte, the body at no less
//    than kMinBodyBytesPerSecond after that (the bytes that came, not the
//    length announced, earn the time); a request late is answered 408 and
//    its connection closed. Heads over kMaxHeadBytes or with more field
//    lines than civetweb keeps get 431, bodies over kMaxPostedBytes 413,
//    heads that could be read two ways and ambiguous lengths 400, targets
//    it does not serve ("OPTIONS *") 501 (request_framing.h), all closing
//    the connection and answered as soon as the head is in; a client whose
//    bytes would take the requests waiting in the front over
//    kMaxBufferedBytes, or those of its address over
//    kMaxBufferedBytesPerAddress, gets 503;
//  - hands each whole request to civetweb over a fresh connection on
//    127.0.0.1, its head rebuilt from what the front read (an absolute
//    target as its path, the "Connection" lines replaced by "Connection:
//    close", a chunked body decoded and sent with its Content-Length), and
//    relays the answer back with bounded buffers, civetweb's answer
//    included when it refused the request before reading all of it;
//  - keeps the client's connection when HTTP/1.1 allows it and the answer's
//    length was framed (Content-Length or chunked, or an answer without a
//    body: to a HEAD, a 204 or a 304), waiting up to
//    kIdleSeconds for the next request without any thread.
// civetweb learns the client's address through PeerOf(): the front records
// it under the local port of the connection it opened, before connecting.
//
// Thread safety: Start() and Stop() on one thread; PeerOf() from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/status.h"

namespace tellwen::isapi {

inline constexpr int kHeadSeconds = 10;
inline constexpr std::uint64_t kMinBodyBytesPerSecond = 16 << 10;
inline constexpr int kIdleSeconds = 15;
inline constexpr std::size_t kMaxHeadBytes = 16 << 10;
// The request bytes all clients together may have waiting in the front,
// and those of the clients of one address: no one computer can take all of
// it and keep the others out (one largest request fits).
inline constexpr std::size_t kMaxBufferedBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxBufferedBytesPerAddress = kMaxBufferedBytes / 8;

class AcceptFront {
 public:
  explicit AcceptFront(std::function<void(const std::string&)> log);
  ~AcceptFront();
  AcceptFront(const AcceptFront&) = delete;
  AcceptFront& operator=(const AcceptFront&) = delete;

  // Binds and listens on address:port (port 0: a free one). Done before root
  // is left, so that no capability is needed for a port below 1024.
  Status Listen(const std::string& address, int port);
  int port() const { return port_; }

  // Serves the port, handing requests to 127.0.0.1:upstream_port.
  Status Start(int upstream_port);
  // Closes the port and the connections waiting for a request; the answers
  // under way may finish for up to drain_ms, then every connection is
  // closed. Safe to call twice.
  void Stop(int drain_ms = 5000);

  // The client ("1.2.3.4", port) behind the front's connection whose local
  // port is local_port. False for a connection the front did not open.
  bool PeerOf(int local_port, std::string* address, int* port) const;

 private:
  struct Connection;
  void Run();
  void Accept();
  void OnClient(Connection& c, std::uint32_t events);
  void OnUpstream(Connection& c, std::uint32_t events);
  void TryRequest(Connection& c);
  // Takes bytes of c's buffered request off the budgets.
  void Unbuffer(Connection& c, std::size_t bytes);
  void Forward(Connection& c, const std::string& request);
  void Answer(Connection& c, int status, const char* reason, const std::string& text);
  void ParseResponseHead(Connection& c);
  void Finish(Connection& c);
  void CloseUpstream(Connection& c);
  void Close(std::uint64_t id);
  void Watch(Connection& c);
  void CheckDeadlines();
  bool EvictIdlest();

  std::function<void(const std::string&)> log_;
  int listen_fd_ = -1;
  int port_ = 0;
  int upstream_port_ = 0;
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> drain_ms_{0};
  std::thread thread_;
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  std::uint64_t next_id_ = 1;
  bool accept_paused_ = false;
  std::size_t buffered_ = 0;                                // the bytes of every connection's `in`
  std::map<std::string, std::size_t> buffered_by_address_;  // the same per client address

  mutable std::mutex peers_mutex_;
  std::map<int, std::pair<std::string, int>> peers_;  // local port -> client
};

}  // namespace tellwen::isapi
