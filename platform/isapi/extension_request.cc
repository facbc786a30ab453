#include "platform/isapi/extension_request.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/isapi/byte_range.h"
#include "platform/isapi/url_path.h"

namespace tellwen::isapi {
namespace {

// The bytes of a file sent per read and write by transmit-file.
constexpr std::size_t kFileBlock = 64 << 10;

ExtensionRequest* Self(HCONN conn) { return static_cast<ExtensionRequest*>(conn); }

// "User-Agent" -> "USER_AGENT".
std::string VariableNameOf(const char* header) {
  std::string name = header;
  for (char& c : name) {
    c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name;
}

}  // namespace

ExtensionRequest::ExtensionRequest(mg_connection* conn, const ServerPaths& paths,
                                   const Extension& extension, std::string path_info,
                                   std::string client_address, int client_port)
    : conn_(conn),
      info_(mg_get_request_info(conn)),
      paths_(paths),
      extension_(extension),
      client_address_(std::move(client_address)),
      client_port_(client_port),
      script_name_(std::string(kScriptsUrl) + "/" + extension.name),
      path_info_(std::move(path_info)) {
  query_string_ = info_->query_string ? info_->query_string : "";
  if (const char* type = mg_get_header(conn_, "Content-Type")) content_type_ = type;
  if (!path_info_.empty()) MapUrlToPath(path_info_, paths_.root, paths_.scripts, &path_translated_);
  http11_ = info_->http_version != nullptr && std::strcmp(info_->http_version, "1.1") == 0;
  head_only_ = std::strcmp(info_->request_method, "HEAD") == 0;
  const char* encoding = mg_get_header(conn_, "Transfer-Encoding");
  chunked_request_ = encoding != nullptr && strcasecmp(encoding, "chunked") == 0;
  framing_ = http11_ && !head_only_ ? Framing::kChunked : Framing::kClose;
}

std::string ExtensionRequest::log_data() const {
  return std::string(ecb_.lpszLogData, strnlen(ecb_.lpszLogData, sizeof ecb_.lpszLogData));
}

bool ExtensionRequest::ReadPosted() {
  if (chunked_request_) {
    // Length unknown in advance: read it all (bounded) so cbTotalBytes is true.
    char block[16 << 10];
    for (;;) {
      const int got = mg_read(conn_, block, sizeof block);
      if (got < 0) return false;
      if (got == 0) break;
      if (posted_.size() + got > kMaxPostedBytes) return false;
      posted_.append(block, got);
    }
    body_total_ = body_read_ = posted_.size();
    return true;
  }
  if (info_->content_length <= 0) return true;
  body_total_ = static_cast<std::uint64_t>(info_->content_length);
  const std::size_t want = std::min<std::uint64_t>(body_total_, kPrereadBytes);
  posted_.resize(want);
  std::size_t have = 0;
  while (have < want) {
    const int got = mg_read(conn_, posted_.data() + have, want - have);
    if (got <= 0) return false;
    have += got;
  }
  body_read_ = have;
  return true;
}

int ExtensionRequest::Serve() {
  if (!ReadPosted()) {
    mg_disable_connection_keep_alive(conn_);
    mg_send_http_error(conn_, 400, "%s", "The posted data could not be read.");
    return 400;
  }
  ecb_.cbSize = sizeof ecb_;
  ecb_.dwVersion = kHseVersion;
  ecb_.ConnID = this;
  ecb_.dwHttpStatusCode = 200;
  ecb_.lpszMethod = info_->request_method;
  ecb_.lpszQueryString = query_string_.c_str();
  ecb_.lpszPathInfo = path_info_.c_str();
  ecb_.lpszPathTranslated = path_translated_.c_str();
  ecb_.cbTotalBytes = static_cast<uint32_t>(body_total_);
  ecb_.cbAvailable = static_cast<uint32_t>(posted_.size());
  ecb_.lpbData = reinterpret_cast<const unsigned char*>(posted_.data());
  ecb_.lpszContentType = content_type_.c_str();
  ecb_.GetServerVariable = &GetServerVariableCb;
  ecb_.WriteClient = &WriteClientCb;
  ecb_.ReadClient = &ReadClientCb;
  ecb_.ServerSupportFunction = &ServerSupportCb;
  const uint32_t result = extension_.proc(&ecb_);
  Finish(result);
  return status_;
}

void ExtensionRequest::Finish(uint32_t result) {
  if (!started_) {
    ResponseHead head;
    if (result == kHseStatusError) {
      head.status = 500;
      head.reason = "Internal Server Error";
    }
    StartResponse(head, Framing::kContentLength, 0);
  }
  if (!complete_) {
    if (framing_ == Framing::kChunked) {
      WriteBody(nullptr, 0);  // sends a head still pending
      Send("0\r\n\r\n");
    } else if (!pending_head_.empty()) {
      Send(pending_head_);
      pending_head_.clear();
    }
  }
  if (framing_ == Framing::kClose || client_gone_ || !http11_) {
    mg_disable_connection_keep_alive(conn_);
  }
  // Unread posted data would be taken for the next request: drain a little,
  // close the connection when more is left.
  if (!chunked_request_ && body_read_ < body_total_) {
    char block[16 << 10];
    std::uint64_t drained = 0;
    while (body_read_ < body_total_ && drained < (256u << 10)) {
      const int got = mg_read(conn_, block, sizeof block);
      if (got <= 0) break;
      body_read_ += got;
      drained += got;
    }
    if (body_read_ < body_total_) mg_disable_connection_keep_alive(conn_);
  }
}

void ExtensionRequest::StartResponse(const ResponseHead& head, Framing framing,
                                     std::uint64_t length) {
  if (!http11_ || head_only_)
    framing = framing == Framing::kContentLength && !head_only_ ? Framing::kContentLength
                                                                : Framing::kClose;
  framing_ = framing;
  status_ = head.status;
  ecb_.dwHttpStatusCode = head.status;
  pending_head_ =
      FormatHead(info_->http_version ? info_->http_version : "1.0", head, framing, length);
  started_ = true;
}

bool ExtensionRequest::Send(const std::string& bytes) {
  if (client_gone_) return false;
  if (bytes.empty()) return true;
  if (mg_write(conn_, bytes.data(), bytes.size()) != static_cast<int>(bytes.size())) {
    client_gone_ = true;
    return false;
  }
  return true;
}

bool ExtensionRequest::WriteBody(const char* data, std::size_t size) {
  if (client_gone_) return false;
  if (head_only_) size = 0;
  scratch_.clear();
  if (!pending_head_.empty()) {
    scratch_.swap(pending_head_);
  }
  if (size > 0) {
    if (framing_ == Framing::kChunked) {
      char length[24];
      std::snprintf(length, sizeof length, "%zx\r\n", size);
      scratch_ += length;
      scratch_.append(data, size);
      scratch_ += "\r\n";
    } else {
      scratch_.append(data, size);
    }
  }
  return Send(scratch_);
}

bool ExtensionRequest::SendResponseHeader(const char* status, const char* lines) {
  if (started_) {
    errno = EINVAL;  // one header per response
    return false;
  }
  ResponseHead head;
  if (status != nullptr && !ParseStatusText(status, &head.status, &head.reason)) {
    errno = EINVAL;
    return false;
  }
  if (lines != nullptr) AddHeaderLines(lines, &head);
  StartResponse(head, Framing::kChunked, 0);
  return true;
}

bool ExtensionRequest::MapUrl(char* buffer, uint32_t* size) const {
  if (buffer == nullptr || size == nullptr || *size == 0) {
    errno = EINVAL;
    return false;
  }
  const std::string url(buffer, strnlen(buffer, *size));
  std::string path;
  if (!MapUrlToPath(url, paths_.root, paths_.scripts, &path)) {
    errno = ENOENT;
    return false;
  }
  if (path.size() + 1 > *size) {
    *size = static_cast<uint32_t>(path.size() + 1);
    errno = ENOBUFS;
    return false;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  *size = static_cast<uint32_t>(path.size() + 1);
  return true;
}

bool ExtensionRequest::TransmitFile(const HseTfInfo& info) {
  if (complete_ || client_gone_) {
    errno = EINVAL;
    return false;
  }
  struct stat file {};
  if (info.hFile < 0 || fstat(info.hFile, &file) != 0) {
    errno = EBADF;
    return false;
  }
  std::uint64_t offset = info.Offset;
  std::uint64_t count = info.BytesToWrite;
  if (count == 0) {
    const std::uint64_t size = file.st_size > 0 ? static_cast<std::uint64_t>(file.st_size) : 0;
    count = size > info.Offset ? size - info.Offset : 0;
  }
  const std::string raw = info.pHead != nullptr && info.HeadLength > 0
                              ? std::string(static_cast<const char*>(info.pHead), info.HeadLength)
                              : std::string();
  std::string prefix;  // body bytes before the file
  bool whole_response = false;
  if (!started_) {
    ResponseHead head;
    if (raw.compare(0, 5, "HTTP/") == 0) {
      const std::size_t used = ParseRawHead(raw, &head);
      if (used == 0) {
        errno = EINVAL;
        return false;
      }
      prefix = raw.substr(used);
    } else {
      if (info.pszStatusCode != nullptr &&
          !ParseStatusText(info.pszStatusCode, &head.status, &head.reason)) {
        errno = EINVAL;
        return false;
      }
      if (info.dwFlags & kHseIoSendHeaders) {
        AddHeaderLines(raw, &head);
      } else {
        prefix = raw;
      }
    }
    if (prefix.empty()) OfferRanges(file, &head, &offset, &count);
    StartResponse(head, Framing::kContentLength, prefix.size() + count);
    whole_response = true;
  } else {
    prefix = raw;
  }
  // From here on the head may be on the wire: a failure can only end the
  // connection.
  if (!WriteBody(prefix.data(), prefix.size())) return false;
  std::vector<char> block(kFileBlock);
  std::uint64_t left = count;
  while (left > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kFileBlock));
    const ssize_t got = pread(info.hFile, block.data(), want, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // The file ended early or failed: the promised length cannot be kept.
      client_gone_ = true;
      mg_disable_connection_keep_alive(conn_);
      if (got == 0) errno = EIO;
      return false;
    }
    if (!WriteBody(block.data(), static_cast<std::size_t>(got))) return false;
    offset += got;
    left -= got;
  }
  if (whole_response) complete_ = true;
  return true;
}

void ExtensionRequest::OfferRanges(const struct stat& file, ResponseHead* head,
                                   std::uint64_t* offset, std::uint64_t* count) const {
  const std::uint64_t size = file.st_size > 0 ? static_cast<std::uint64_t>(file.st_size) : 0;
  if (!S_ISREG(file.st_mode) || head->status != 200 || *offset != 0 || *count != size ||
      HasHeader(*head, "Content-Range") || HasHeader(*head, "Accept-Ranges")) {
    return;
  }
  const std::string modified = HttpDate(file.st_mtime);
  head->headers.emplace_back("Accept-Ranges", "bytes");
  if (!HasHeader(*head, "Last-Modified")) head->headers.emplace_back("Last-Modified", modified);
  const char* range_header = mg_get_header(conn_, "Range");
  const char* if_range = mg_get_header(conn_, "If-Range");
  if (range_header == nullptr || head_only_ || (if_range != nullptr && modified != if_range)) {
    return;
  }
  const ByteRange range = ParseByteRange(range_header, size);
  if (range.kind == ByteRange::Kind::kPart) {
    head->status = 206;
    head->reason = "Partial Content";
    head->headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                    std::to_string(range.first + range.length - 1) +
                                                    "/" + std::to_string(size));
    *offset = range.first;
    *count = range.length;
  } else if (range.kind == ByteRange::Kind::kUnsatisfiable) {
    head->status = 416;
    head->reason = "Range Not Satisfiable";
    head->headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
    *count = 0;
  }
}

bool ExtensionRequest::Variable(const std::string& name, std::string* value) const {
  if (name == "REMOTE_ADDR" || name == "REMOTE_HOST") {
    *value = client_address_;
  } else if (name == "REMOTE_PORT") {
    *value = std::to_string(client_port_);
  } else if (name == "REMOTE_USER" || name == "LOGON_USER" || name == "AUTH_USER" ||
             name == "AUTH_TYPE" || name == "AUTH_PASSWORD") {
    *value = info_->remote_user ? info_->remote_user : "";
  } else if (name == "REQUEST_METHOD") {
    *value = info_->request_method;
  } else if (name == "QUERY_STRING") {
    *value = query_string_;
  } else if (name == "SCRIPT_NAME" || name == "URL") {
    *value = script_name_;
  } else if (name == "PATH_INFO") {
    *value = path_info_;
  } else if (name == "PATH_TRANSLATED") {
    *value = path_translated_;
  } else if (name == "CONTENT_LENGTH") {
    *value = std::to_string(body_total_);
  } else if (name == "CONTENT_TYPE") {
    *value = content_type_;
  } else if (name == "SERVER_NAME") {
    const char* host = mg_get_header(conn_, "Host");
    std::string text = host ? host : "";
    if (!text.empty() && text[0] == '[') {
      text = text.substr(0, text.find(']') + 1);
    } else {
      text = text.substr(0, text.find(':'));
    }
    *value = text.empty() ? paths_.server_name : text;
  } else if (name == "SERVER_PORT") {
    *value = std::to_string(paths_.server_port);
  } else if (name == "SERVER_PORT_SECURE") {
    *value = "0";
  } else if (name == "SERVER_PROTOCOL") {
    *value = std::string("HTTP/") + (info_->http_version ? info_->http_version : "1.0");
  } else if (name == "SERVER_SOFTWARE") {
    *value = "kivweb";
  } else if (name == "GATEWAY_INTERFACE") {
    *value = "CGI/1.1";
  } else if (name == "HTTPS") {
    *value = "off";
  } else if (name == "ALL_HTTP" || name == "ALL_RAW") {
    value->clear();
    for (int i = 0; i < info_->num_headers; ++i) {
      const mg_header& header = info_->http_headers[i];
      if (name == "ALL_HTTP") {
        *value += "HTTP_" + VariableNameOf(header.name) + ":" + header.value + "\n";
      } else {
        *value += std::string(header.name) + ": " + header.value + "\r\n";
      }
    }
  } else if (name.compare(0, 5, "HTTP_") == 0 && name.size() > 5) {
    const std::string wanted = name.substr(5);
    bool found = false;
    for (int i = 0; i < info_->num_headers; ++i) {
      const mg_header& header = info_->http_headers[i];
      if (VariableNameOf(header.name) != wanted) continue;
      if (found)
        *value += wanted == "COOKIE" ? "; " : ", ";
      else
        value->clear();
      *value += header.value;
      found = true;
    }
    return found;
  } else {
    return false;
  }
  return true;
}

bool ExtensionRequest::GetServerVariableCb(HCONN conn, const char* name, void* buffer,
                                           uint32_t* size) {
  if (name == nullptr || size == nullptr) {
    errno = EINVAL;
    return false;
  }
  std::string value;
  if (!Self(conn)->Variable(name, &value)) {
    errno = ENOENT;
    return false;
  }
  const uint32_t needed = static_cast<uint32_t>(value.size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    errno = ENOBUFS;
    return false;
  }
  std::memcpy(buffer, value.c_str(), needed);
  *size = needed;
  return true;
}

bool ExtensionRequest::WriteClientCb(HCONN conn, const void* buffer, uint32_t* bytes,
                                     uint32_t /*reserved*/) {
  ExtensionRequest* self = Self(conn);
  if (bytes == nullptr || (buffer == nullptr && *bytes > 0)) {
    errno = EINVAL;
    return false;
  }
  if (self->complete_) {
    // The response was a file with its length; more bytes would corrupt it.
    *bytes = 0;
    errno = EINVAL;
    return false;
  }
  if (!self->started_) self->StartResponse(ResponseHead(), Framing::kChunked, 0);
  if (*bytes == 0) return !self->client_gone_;
  if (!self->WriteBody(static_cast<const char*>(buffer), *bytes)) {
    *bytes = 0;
    errno = EPIPE;
    return false;
  }
  return true;
}

bool ExtensionRequest::ReadClientCb(HCONN conn, void* buffer, uint32_t* size) {
  ExtensionRequest* self = Self(conn);
  if (size == nullptr || (buffer == nullptr && *size > 0)) {
    errno = EINVAL;
    return false;
  }
  const std::uint64_t left = self->body_total_ - self->body_read_;
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(*size, left));
  if (want == 0) {
    *size = 0;
    return true;
  }
  const int got = mg_read(self->conn_, buffer, want);
  if (got <= 0) {
    *size = 0;
    errno = EPIPE;
    return false;
  }
  self->body_read_ += got;
  *size = static_cast<uint32_t>(got);
  return true;
}

bool ExtensionRequest::ServerSupportCb(HCONN conn, uint32_t request, void* buffer, uint32_t* size,
                                       uint32_t* data_type) {
  ExtensionRequest* self = Self(conn);
  switch (request) {
    case kHseReqSendResponseHeader:
      return self->SendResponseHeader(static_cast<const char*>(buffer),
                                      reinterpret_cast<const char*>(data_type));
    case kHseReqMapUrlToPath:
      return self->MapUrl(static_cast<char*>(buffer), size);
    case kHseReqTransmitFile:
      if (buffer == nullptr) {
        errno = EINVAL;
        return false;
      }
      return self->TransmitFile(*static_cast<const HseTfInfo*>(buffer));
    default:
      errno = EINVAL;
      return false;
  }
}

}  // namespace tellwen::isapi
