// Test support: a small HTTP/1.x client over TCP to 127.0.0.1 that sends
// request bytes exactly as given (so tests can send what browsers never
// would: "..", odd encodings, HTTP/1.0, several requests on one connection)
// and reads the answers back, undoing Content-Length and chunked framing.
//
// Thread safety: each HttpConnection belongs to one thread; Fetch and Get
// may run on many threads at once.
#pragma once

#include <map>
#include <string>

namespace tellwen::testing {

struct HttpResponse {
  int status = 0;  // 0: no response could be read
  std::string reason;
  std::multimap<std::string, std::string> headers;  // names in lower case
  std::string body;
  bool chunked = false;

  // The first header of that (lower-case) name, or "".
  std::string Header(const std::string& name) const;
};

class HttpConnection {
 public:
  explicit HttpConnection(int port);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  // How long Read waits for each block of the answer (60 s unless set).
  void set_read_timeout_ms(int ms) { read_timeout_ms_ = ms; }
  bool Send(const std::string& bytes);
  // Reads one response; head_only for the answer to a HEAD request.
  HttpResponse Read(bool head_only = false);
  // Whether the server closed the connection (reads EOF within timeout_ms).
  bool ClosedByServer(int timeout_ms);

 private:
  bool Fill();  // reads more bytes into buffer_; false at EOF or error
  bool ReadLine(std::string* line);
  int fd_ = -1;
  int read_timeout_ms_ = 60000;
  std::string buffer_;
};

// Sends raw request bytes on a fresh connection and reads one response.
HttpResponse Fetch(int port, const std::string& raw_request);

// GET path (sent as given) with "Connection: close" and extra header lines
// (each ending in "\r\n").
HttpResponse Get(int port, const std::string& path, const std::string& extra_headers = "");

// POST body to path with a Content-Length.
HttpResponse Post(int port, const std::string& path, const std::string& body);

}  // namespace tellwen::testing
