// Test support: a fake web server request. It fills an extension control
// block the way kivweb does (server variables, query string, posted data)
// and records what the extension sends back: the status line, the header
// lines, each direct write and transmitted files.
//
// Thread safety: one request per object, used on one thread.
#pragma once

#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/isapi/httpext.h"
#include "query/query_server.h"

namespace tellwen::testing {

class FakeRequest {
 public:
  explicit FakeRequest(std::string query_string, std::string method = "GET",
                       std::string posted = "")
      : query_(std::move(query_string)), method_(std::move(method)), posted_(std::move(posted)) {
    vars["SCRIPT_NAME"] = "/scripts/KIVQuery.so";
    vars["URL"] = "/scripts/KIVQuery.so";
    vars["REMOTE_ADDR"] = "127.0.0.1";
    vars["REQUEST_METHOD"] = method_;
    vars["QUERY_STRING"] = query_;
    vars["CONTENT_LENGTH"] = std::to_string(posted_.size());
  }

  // Runs the request through the extension object; its return value.
  uint32_t Run(query::CQueryServer& server) {
    memset(&ecb_, 0, sizeof ecb_);
    ecb_.cbSize = sizeof ecb_;
    ecb_.dwVersion = kHseVersion;
    ecb_.ConnID = this;
    ecb_.lpszMethod = method_.c_str();
    ecb_.lpszQueryString = query_.c_str();
    ecb_.lpszPathInfo = "";
    ecb_.lpszPathTranslated = "";
    ecb_.cbTotalBytes = static_cast<uint32_t>(posted_.size());
    // Like a server that has read only part of the body: the rest comes
    // through ReadClient.
    ecb_.cbAvailable = static_cast<uint32_t>(posted_.size() / 2);
    ecb_.lpbData = reinterpret_cast<const unsigned char*>(posted_.data());
    ecb_.lpszContentType = "application/x-www-form-urlencoded";
    read_offset_ = ecb_.cbAvailable;
    ecb_.GetServerVariable = &GetVar;
    ecb_.WriteClient = &Write;
    ecb_.ReadClient = &Read;
    ecb_.ServerSupportFunction = &Support;
    return server.HttpExtensionProc(&ecb_);
  }

  // Everything the client received after the header.
  std::string body;
  std::vector<std::string> writes;
  std::string status;   // "" when no header was sent
  std::string headers;  // header lines
  int header_count = 0;
  std::string transmitted;  // bytes of a transmitted file
  std::map<std::string, std::string> vars;
  // Physical folder of "/scripts/" for the URL mapping.
  std::string scripts_folder = "/nonexistent/";

 private:
  static FakeRequest* Self(HCONN conn) { return static_cast<FakeRequest*>(conn); }

  static bool GetVar(HCONN conn, const char* name, void* buffer, uint32_t* size) {
    auto it = Self(conn)->vars.find(name);
    if (it == Self(conn)->vars.end()) return false;
    if (it->second.size() + 1 > *size) {
      *size = static_cast<uint32_t>(it->second.size() + 1);
      return false;
    }
    memcpy(buffer, it->second.c_str(), it->second.size() + 1);
    *size = static_cast<uint32_t>(it->second.size() + 1);
    return true;
  }
  static bool Write(HCONN conn, const void* data, uint32_t* bytes, uint32_t) {
    std::string text(static_cast<const char*>(data), *bytes);
    Self(conn)->body += text;
    Self(conn)->writes.push_back(text);
    return true;
  }
  static bool Read(HCONN conn, void* buffer, uint32_t* size) {
    FakeRequest* self = Self(conn);
    const size_t left = self->posted_.size() - self->read_offset_;
    const size_t n = std::min<size_t>(left, std::min<uint32_t>(*size, 7));
    memcpy(buffer, self->posted_.data() + self->read_offset_, n);
    self->read_offset_ += n;
    *size = static_cast<uint32_t>(n);
    return true;
  }
  static bool Support(HCONN conn, uint32_t request, void* buffer, uint32_t* size,
                      uint32_t* data_type) {
    FakeRequest* self = Self(conn);
    if (request == kHseReqSendResponseHeader) {
      self->status = buffer ? static_cast<const char*>(buffer) : "200 OK";
      self->headers = data_type ? reinterpret_cast<const char*>(data_type) : "";
      ++self->header_count;
      return true;
    }
    if (request == kHseReqMapUrlToPath) {
      std::string url = static_cast<const char*>(buffer);
      const std::string prefix = "/scripts/";
      if (url.compare(0, prefix.size(), prefix) != 0) return false;
      const std::string path = self->scripts_folder + url.substr(prefix.size());
      if (path.size() + 1 > *size) return false;
      memcpy(buffer, path.c_str(), path.size() + 1);
      *size = static_cast<uint32_t>(path.size() + 1);
      return true;
    }
    if (request == kHseReqTransmitFile) {
      const auto* info = static_cast<const HseTfInfo*>(buffer);
      self->status = info->pszStatusCode ? info->pszStatusCode : "";
      self->headers.assign(static_cast<const char*>(info->pHead), info->HeadLength);
      char chunk[4096];
      ssize_t n;
      while ((n = read(info->hFile, chunk, sizeof chunk)) > 0) self->transmitted.append(chunk, n);
      return true;
    }
    return false;
  }

  std::string query_;
  std::string method_;
  std::string posted_;
  size_t read_offset_ = 0;
  ExtensionControlBlock ecb_{};
};

}  // namespace tellwen::testing
