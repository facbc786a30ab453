// One request to an extension library: the ExtensionControlBlock kivweb hands
// to HttpExtensionProc, its callbacks over the civetweb connection, and the
// framing of whatever the extension sends.
//
// The block's ConnID is the ExtensionRequest object itself, so it is unique
// among the requests in flight. The response head is held back until the
// first body bytes (or the end) so that head and first write leave in one
// send. Bodies of HTTP/1.1 requests go out chunked, so the connection stays
// open for the next request; a file sent by transmit-file as the whole
// response goes out with its Content-Length, and a regular file sent whole
// with status 200 is served in ranges too, so a broken download resumes;
// HTTP/1.0 answers end with the connection.
//
// Thread safety: an ExtensionRequest lives on the request thread that serves
// it; its callbacks are called by the extension on that thread.
#pragma once

#include <civetweb.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/isapi/extension_set.h"
#include "platform/isapi/http_head.h"
#include "platform/isapi/httpext.h"

namespace tellwen::isapi {

// What an extension request needs to know about the server.
struct ServerPaths {
  std::string root;         // web root, without trailing "/"
  std::string scripts;      // scripts folder, without trailing "/"
  std::string server_name;  // SERVER_NAME when the request has no Host header
  int server_port = 0;      // SERVER_PORT: the port clients connect to
};

// The most posted data kivweb accepts for one request.
inline constexpr std::uint64_t kMaxPostedBytes = 16u << 20;
// The posted data read before HttpExtensionProc is called (lpbData).
inline constexpr std::uint32_t kPrereadBytes = 48u << 10;

class ExtensionRequest {
 public:
  // REQUIRES: the request's posted data fits kMaxPostedBytes (checked by the
  // caller).
  // client_address and client_port: the client the front took the request
  // from (civetweb's own peer is the front).
  ExtensionRequest(mg_connection* conn, const ServerPaths& paths, const Extension& extension,
                   std::string path_info, std::string client_address, int client_port);
  ExtensionRequest(const ExtensionRequest&) = delete;
  ExtensionRequest& operator=(const ExtensionRequest&) = delete;

  // Runs the extension and completes the response. Returns the status code
  // of the response, for the access log.
  int Serve();

  // The extension's text for the access log (lpszLogData), after Serve.
  std::string log_data() const;

 private:
  static bool GetServerVariableCb(HCONN conn, const char* name, void* buffer, uint32_t* size);
  static bool WriteClientCb(HCONN conn, const void* buffer, uint32_t* bytes, uint32_t reserved);
  static bool ReadClientCb(HCONN conn, void* buffer, uint32_t* size);
  static bool ServerSupportCb(HCONN conn, uint32_t request, void* buffer, uint32_t* size,
                              uint32_t* data_type);

  bool Variable(const std::string& name, std::string* value) const;
  bool ReadPosted();
  // Sends body bytes, with the pending head before them.
  bool WriteBody(const char* data, std::size_t size);
  // Sends raw bytes; marks the client gone on failure.
  bool Send(const std::string& bytes);
  bool SendResponseHeader(const char* status, const char* lines);
  bool MapUrl(char* buffer, uint32_t* size) const;
  bool TransmitFile(const HseTfInfo& info);
  // For a file sent whole as a 200 response: says ranges are served, gives
  // the file's Last-Modified, and turns the answer into the range the
  // request asks for (206 or 416, as static files; see byte_range.h).
  void OfferRanges(const struct stat& file, ResponseHead* head, std::uint64_t* offset,
                   std::uint64_t* count) const;
  // The response head goes out with this framing; pending_head_ holds it.
  void StartResponse(const ResponseHead& head, Framing framing, std::uint64_t length);
  void Finish(uint32_t result);

  mg_connection* conn_;
  const mg_request_info* info_;
  const ServerPaths& paths_;
  const Extension& extension_;
  std::string client_address_;
  int client_port_ = 0;
  std::string script_name_, path_info_, path_translated_, query_string_, content_type_;
  ExtensionControlBlock ecb_{};
  std::string posted_;            // lpbData
  std::uint64_t body_total_ = 0;  // cbTotalBytes
  std::uint64_t body_read_ = 0;   // bytes of the body read from the connection
  bool chunked_request_ = false;
  bool head_only_ = false;  // HEAD: the body is not sent
  bool http11_ = false;

  bool started_ = false;   // a head has been formed
  bool complete_ = false;  // a transmit-file response has been sent whole
  bool client_gone_ = false;
  Framing framing_ = Framing::kChunked;
  std::string pending_head_;
  std::string scratch_;
  int status_ = 200;
};

}  // namespace tellwen::isapi
