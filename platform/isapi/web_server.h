// kivweb's server: civetweb serving the web root as static files, "/"
// leading to the site's entry page, and the extension libraries of the
// scripts folder answering under /scripts/NAME.
//
// Only loaded libraries are reachable under /scripts/: the other files of the
// scripts folder (the ping images, cached charts, the libraries themselves)
// are never sent as files; extensions send them through transmit-file. A URL
// that names neither a file of the web root nor a loaded library is 404;
// folders are never listed; CGI and server-side includes are off. A file the
// account may not read is 404 too; error pages never name a path of the
// machine. A URL whose file or folder, its symbolic links followed, lies
// outside the web root is 404 as well, unless the configuration's
// WebFollowLinksOutsideRoot allows it (the scripts folder's rules above
// stand either way).
//
// Clients reach civetweb only through the accepting front (accept_front.h),
// which holds idle and slow connections without a request thread and hands
// civetweb whole requests, one per connection on 127.0.0.1.
//
// Start() validates the folders and the account and binds the port; when
// the process runs as root it then leaves root for the account
// (privilege_drop.h) before any extension code runs, keeping CAP_NET_RAW
// alone, for the on-demand ping's raw ICMP socket. It then loads the
// extensions and only then starts taking connections: every request a
// started kivweb accepts finds its extensions loaded. While Stop() drains, requests to /scripts/
// get 503.
//
// Thread safety: Start() and Stop() on one thread, Start() before any other
// thread of the process exists; civetweb's request threads call the
// handlers in between. The extension set is written only while no request
// thread runs (before the start, after the stop).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "base/status.h"
#include "platform/isapi/accept_front.h"
#include "platform/isapi/extension_request.h"
#include "platform/isapi/extension_set.h"
#include "platform/isapi/web_config.h"

struct mg_context;
struct mg_connection;

namespace tellwen::isapi {

// The entry page that "/" leads to.
inline constexpr const char* kEntryPage = "/kiv/default.htm";

class WebServer {
 public:
  // log receives one line at a time (access lines, events), from any thread.
  explicit WebServer(std::function<void(const std::string&)> log);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Starts serving config. The error says why it cannot serve.
  Status Start(const WebConfig& config);

  // Stops: new extension requests get 503, the extension requests in flight
  // may finish for up to drain_ms, the front relays the answers under way
  // (up to 5 s) and closes every connection, then civetweb stops (which ends
  // whatever is still running or waiting) and the extensions are terminated
  // and unloaded. Safe to call twice.
  void Stop(int drain_ms = 60000);

  // The port bound (useful with port 0).
  int port() const { return port_; }

 private:
  static int BeginRequest(mg_connection* conn);
  static int LogMessage(const mg_connection* conn, const char* message);
  static int LogAccess(const mg_connection* conn, const char* message);
  static int HttpError(mg_connection* conn, int status, const char* message);

  // Whether url's file or folder (and a folder's entry page) lies inside
  // the web root with its links followed, or is missing.
  bool InsideRoot(const char* url) const;
  // 0 when the URL is not under the scripts URL.
  int ServeScript(mg_connection* conn, const std::string& client_address, int client_port);

  std::function<void(const std::string&)> log_;
  mg_context* context_ = nullptr;
  ExtensionSet extensions_;
  ServerPaths paths_;
  std::string real_root_;  // the web root, its links resolved
  bool follow_links_outside_root_ = false;
  std::atomic<bool> ready_{false};
  std::atomic<int> in_flight_{0};  // extension requests being served
  std::string start_error_;        // civetweb's last message during mg_start
  int port_ = 0;
  AcceptFront front_{[this](const std::string& line) { log_(line); }};
};

}  // namespace tellwen::isapi
