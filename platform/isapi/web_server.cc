#include "platform/isapi/web_server.h"

#include <civetweb.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/host_name.h"
#include "platform/isapi/privilege_drop.h"
#include "platform/isapi/request_framing.h"
#include "platform/isapi/static_range.h"
#include "platform/isapi/url_path.h"

namespace tellwen::isapi {
namespace {

// The server whose mg_start runs on this thread (civetweb logs start-up
// failures without a connection).
thread_local WebServer* starting_server = nullptr;
// The extension's access-log text of the request this thread just served;
// civetweb writes the access line on the same thread right after.
thread_local std::string request_log_data;

WebServer* ServerOf(const mg_connection* conn) {
  if (conn == nullptr) return starting_server;
  return static_cast<WebServer*>(mg_get_user_data(mg_get_context(conn)));
}

std::string TrimNewlines(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Raises the soft open-file limit to the hard one (and, as root, both to
// kWantedFiles when lower). Returns a line for the log when it stays low.
std::string RaiseOpenFileLimit() {
  constexpr rlim_t kWantedFiles = 65536;
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return "";
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < kWantedFiles) {
    rlimit raised{kWantedFiles, kWantedFiles};
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) return "";
  }
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 4096) {
    return "open-file limit " + std::to_string(limit.rlim_cur) +
           ": few idle clients can be held (raise LimitNOFILE or ulimit -n)";
  }
  return "";
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A short plain-text answer. With close, the connection ends after it.
// extra_head: further header lines, each ending in CRLF.
void SendPlainError(mg_connection* conn, int status, const char* reason, const std::string& text,
                    bool close = false, const char* extra_head = "") {
  const std::string body = text + "\n";
  if (close) mg_disable_connection_keep_alive(conn);
  mg_printf(conn,
            "HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\n"
            "Cache-Control: no-cache\r\n%s%s\r\n",
            status, reason, body.size(), extra_head, close ? "Connection: close\r\n" : "");
  const mg_request_info* info = mg_get_request_info(conn);
  if (std::strcmp(info->request_method, "HEAD") != 0) mg_write(conn, body.data(), body.size());
}

}  // namespace

WebServer::WebServer(std::function<void(const std::string&)> log) : log_(std::move(log)) {}

WebServer::~WebServer() { Stop(); }

Status WebServer::Start(const WebConfig& config) {
  paths_.root = WithoutTrailingSlash(config.root);
  paths_.scripts = WithoutTrailingSlash(config.scripts);
  if (!IsFolder(paths_.root)) {
    return Status::NotFound("web root '" + config.root + "' is not a folder");
  }
  if (!IsFolder(paths_.scripts)) {
    return Status::NotFound("scripts folder '" + config.scripts + "' is not a folder");
  }
  char* real_root = realpath(paths_.root.c_str(), nullptr);
  real_root_ = real_root != nullptr ? real_root : paths_.root;
  std::free(real_root);
  follow_links_outside_root_ = config.follow_links_outside_root;
  paths_.server_name = config.listen_address;
  if (paths_.server_name == "0.0.0.0") paths_.server_name = LocalHostName();

  const bool as_root = geteuid() == 0;
  if (as_root) {
    if (config.account.empty()) {
      return Status::InvalidArgument("started as root, but no account is configured to run as");
    }
    const passwd* account = getpwnam(config.account.c_str());
    if (account == nullptr) {
      return Status::InvalidArgument(
          "account '" + config.account + "' does not exist: create it (useradd --system " +
          config.account + ") or set another account in the configuration file");
    }
    if (account->pw_uid == 0)
      return Status::InvalidArgument("account '" + config.account +
                                     "' is root; kivweb never runs as root");
  }

  // The port is bound first, as root when started as root: no capability
  // is kept for it.
  const std::string listen = config.listen_address + ":" + std::to_string(config.listen_port);
  Status listening = front_.Listen(config.listen_address, config.listen_port);
  if (!listening.ok())
    return Status::IoError("cannot serve on " + listen + ": " + listening.message());
  port_ = front_.port();
  paths_.server_port = port_;
  // Each idle client holds one open file, each request in hand two.
  const std::string files = RaiseOpenFileLimit();
  if (!files.empty()) log_(files);

  if (as_root) {
    // Root is left before any extension code runs. What stays is the raw
    // ICMP socket of the on-demand ping: where unprivileged ICMP sockets are
    // not allowed to the account, every computer would ping dead.
    Status dropped = DropRootTo(config.account, kRawSocketCapability);
    if (!dropped.ok()) {
      return Status::IoError("could not drop root rights to account '" + config.account +
                             "': " + dropped.message());
    }
  }

  // The extensions are loaded before the port opens, and the set does not
  // change until the server has stopped: a request never finds it loading.
  std::vector<std::string> lines;
  Status loaded = extensions_.Load(paths_.scripts, &lines);
  for (const std::string& line : lines) log_(line);
  if (!loaded.ok()) {
    extensions_.Unload(nullptr);
    return loaded;
  }

  // civetweb serves only the front's connections, one request each.
  const std::string threads = std::to_string(config.threads);
  std::vector<const char*> options = {
      "listening_ports",
      "127.0.0.1:0",
      "document_root",
      paths_.root.c_str(),
      "num_threads",
      threads.c_str(),
      "enable_directory_listing",
      "no",
      "index_files",
      "default.htm",
      "enable_keep_alive",
      "no",
      "keep_alive_timeout_ms",
      "5000",
      "request_timeout_ms",
      "30000",
      "tcp_nodelay",
      "1",
      "cgi_pattern",
      "",
      "ssi_pattern",
      "",
      "access_control_allow_origin",
      "",
      "extra_mime_types",
      kExtraMimeTypes,
      nullptr,
  };

  mg_callbacks callbacks{};
  callbacks.begin_request = &BeginRequest;
  callbacks.log_message = &LogMessage;
  callbacks.log_access = &LogAccess;
  callbacks.http_error = &HttpError;

  mg_init_library(0);
  start_error_.clear();
  ready_ = true;
  starting_server = this;
  context_ = mg_start(&callbacks, this, options.data());
  starting_server = nullptr;
  if (context_ == nullptr) {
    Stop();
    return Status::IoError("cannot serve on " + listen +
                           (start_error_.empty() ? "" : ": " + start_error_));
  }
  mg_server_port ports[4] = {};
  if (mg_get_server_ports(context_, 4, ports) <= 0) {
    Stop();
    return Status::IoError("cannot serve on " + listen + ": no port for the request threads");
  }
  Status front = front_.Start(ports[0].port);
  if (!front.ok()) {
    Stop();
    return front;
  }
  return Status::Ok();
}

void WebServer::Stop(int drain_ms) {
  ready_ = false;
  // civetweb refuses to write once it is stopping, so answers in flight are
  // let finish (and the front relay them) first.
  for (int waited = 0; in_flight_.load() > 0 && waited < drain_ms; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  front_.Stop();
  if (context_ != nullptr) {
    mg_stop(context_);
    context_ = nullptr;
  }
  std::vector<std::string> lines;
  extensions_.Unload(&lines);
  for (const std::string& line : lines) log_(line);
}

int WebServer::BeginRequest(mg_connection* conn) {
  const mg_request_info* info = mg_get_request_info(conn);
  WebServer* server = ServerOf(conn);
  // Only the front's connections are served: civetweb's port is reachable
  // from this machine, and the client is known only for those.
  std::string address;
  int client_port = 0;
  if (!server->front_.PeerOf(info->remote_port, &address, &client_port)) {
    SendPlainError(conn, 403, "Forbidden", "Forbidden.", /*close=*/true);
    return 403;
  }
  std::vector<std::pair<std::string, std::string>> headers;
  for (int i = 0; i < info->num_headers; ++i) {
    headers.emplace_back(info->http_headers[i].name, info->http_headers[i].value);
  }
  const std::string fault = FramingFault(info->http_version ? info->http_version : "1.0", headers);
  if (!fault.empty()) {
    SendPlainError(conn, 400, "Bad Request", "The request's length is ambiguous: " + fault + ".",
                   /*close=*/true);
    return 400;
  }
  if (info->local_uri != nullptr && std::strcmp(info->local_uri, "/") == 0) {
    mg_send_http_redirect(conn, kEntryPage, 302);
    return 302;
  }
  // The scripts URL is routed here rather than by a handler registered after
  // the start, so that it is answered from the first connection on.
  const int status = server->ServeScript(conn, address, client_port);
  if (status != 0) return status;
  // Files are only read: no method of civetweb's own that writes or lists
  // (PUT, DELETE, MKCOL, PROPFIND...) is reached.
  if (std::strcmp(info->request_method, "GET") != 0 &&
      std::strcmp(info->request_method, "HEAD") != 0) {
    SendPlainError(conn, 405, "Method Not Allowed", "Only GET and HEAD are served here.",
                   /*close=*/true, "Allow: GET, HEAD\r\n");
    return 405;
  }
  if (!server->follow_links_outside_root_ && !server->InsideRoot(info->local_uri)) {
    SendPlainError(conn, 404, "Not Found", "Not found.");
    return 404;
  }
  return ServeStaticRange(conn, server->paths_.root, server->paths_.scripts);
}

bool WebServer::InsideRoot(const char* url) const {
  std::string path;
  if (url == nullptr || !MapUrlToPath(url, paths_.root, paths_.scripts, &path)) return true;
  if (!ResolvesInside(path, real_root_)) return false;
  // A folder is served as its entry page.
  return path.back() != '/' || ResolvesInside(path + "default.htm", real_root_);
}

int WebServer::ServeScript(mg_connection* conn, const std::string& client_address,
                           int client_port) {
  const mg_request_info* info = mg_get_request_info(conn);
  const std::string url = info->local_uri ? info->local_uri : "";
  const std::string prefix = kScriptsUrl;
  if (url != prefix && url.compare(0, prefix.size() + 1, prefix + "/") != 0) return 0;
  ++in_flight_;
  struct Leave {
    std::atomic<int>& count;
    ~Leave() { --count; }
  } leave{in_flight_};
  // Stopping: no new extension request begins.
  if (!ready_) {
    mg_disable_connection_keep_alive(conn);
    SendPlainError(conn, 503, "Service Unavailable", "The server is starting or stopping.");
    return 503;
  }
  std::string name, path_info;
  const Extension* extension = nullptr;
  if (SplitScriptUrl(url, &name, &path_info)) extension = extensions_.Find(name);
  if (extension == nullptr) {
    if (!name.empty() && !extensions_.Failure(name).empty()) {
      SendPlainError(conn, 500, "Internal Server Error",
                     "The extension " + name + " could not be loaded; see the server's log.");
      return 500;
    }
    SendPlainError(conn, 404, "Not Found", "Not found.");
    return 404;
  }
  const char* method = info->request_method;
  if (std::strcmp(method, "GET") != 0 && std::strcmp(method, "POST") != 0 &&
      std::strcmp(method, "HEAD") != 0) {
    SendPlainError(conn, 405, "Method Not Allowed", "Only GET, HEAD and POST are served here.",
                   /*close=*/true, "Allow: GET, HEAD, POST\r\n");
    return 405;
  }
  if (info->content_length > static_cast<long long>(kMaxPostedBytes)) {
    mg_disable_connection_keep_alive(conn);
    SendPlainError(conn, 413, "Payload Too Large", "The posted data is too large.");
    return 413;
  }
  ExtensionRequest request(conn, paths_, *extension, path_info, client_address, client_port);
  const int status = request.Serve();
  request_log_data = request.log_data();
  return status;
}

int WebServer::LogMessage(const mg_connection* conn, const char* message) {
  WebServer* server = ServerOf(conn);
  if (server == nullptr) return 0;
  const std::string text = TrimNewlines(message ? message : "");
  if (conn == nullptr) server->start_error_ = text;
  server->log_(text);
  return 1;
}

int WebServer::LogAccess(const mg_connection* conn, const char* message) {
  WebServer* server = ServerOf(conn);
  if (server == nullptr) return 0;
  std::string line = TrimNewlines(message ? message : "");
  // civetweb's line starts with its peer, the front: the client instead.
  std::string address;
  int client_port = 0;
  const std::size_t blank = line.find(' ');
  if (conn != nullptr && blank != std::string::npos &&
      server->front_.PeerOf(mg_get_request_info(conn)->remote_port, &address, &client_port)) {
    line = address + line.substr(blank);
  }
  if (!request_log_data.empty()) {
    line += " [" + request_log_data + "]";
    request_log_data.clear();
  }
  server->log_(line);
  return 1;
}

int WebServer::HttpError(mg_connection* conn, int status, const char* /*message*/) {
  // A folder without an entry page, and hidden files, read as missing.
  if (status == 403 || status == 404) {
    SendPlainError(conn, 404, "Not Found", "Not found.");
    return 0;
  }
  // civetweb's own texts of server errors name files of this machine
  // ("fopen(/srv/...): Permission denied"): never sent. A file of the web
  // root that kivweb's account may not read reads as missing.
  if (status >= 500) {
    const mg_request_info* info = mg_get_request_info(conn);
    const WebServer* server = ServerOf(conn);
    std::string path;
    if (server != nullptr && info->local_uri != nullptr &&
        MapUrlToPath(info->local_uri, server->paths_.root, server->paths_.scripts, &path) &&
        access(path.c_str(), F_OK) == 0 && access(path.c_str(), R_OK) != 0) {
      SendPlainError(conn, 404, "Not Found", "Not found.");
      return 0;
    }
    SendPlainError(conn, status, "Internal Server Error",
                   "The server could not answer this request.",
                   /*close=*/true);
    return 0;
  }
  return 1;
}

}  // namespace tellwen::isapi
