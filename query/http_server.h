// CHttpServer: our small base class for a web server extension, over the
// control block of platform/isapi/httpext.h. It reads a request's posted
// data, parses it with the derived class's parse map and calls the derived
// class's handler for the command; a request that does not parse goes to
// OnParseError. CHttpServerContext is one request: its control block and the
// framework's own response text.
//
// Thread safety: one CHttpServer serves every request thread at once; it
// keeps no per-request state. A CHttpServerContext belongs to its request's
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/isapi/httpext.h"
#include "query/parse_map.h"

namespace tellwen::query {

class CHttpServerContext {
 public:
  explicit CHttpServerContext(ExtensionControlBlock* ecb) : ecb_(ecb) {}

  ExtensionControlBlock* ecb() const { return ecb_; }
  HCONN ConnId() const { return ecb_->ConnID; }

  // The variable's value read into a 999-byte buffer; "" when the call fails.
  std::string GetServerVariable(const char* name) const;
  // Writes text to the client straight away; false when the client has gone.
  bool WriteClient(const std::string& text) const;
  // Sends the response header: status line text and further header lines
  // (each ending in "\r\n").
  bool SendResponseHeader(const std::string& status, const std::string& headers) const;
  // The physical path of a URL path; "" when the server cannot map it.
  std::string MapUrlToPath(const std::string& url) const;

  // The query string as received and the whole posted data.
  std::string query_string;
  std::string posted;
  // The framework's own response text (title block of the Default page).
  std::string html;

 private:
  ExtensionControlBlock* ecb_;
};

class CHttpServer {
 public:
  explicit CHttpServer(char delimiter = '&') : delimiter_(delimiter) {}
  virtual ~CHttpServer() = default;

  // Answers a request whose query string or posted data does not parse;
  // returns true when the request is answered.
  virtual bool OnParseError(CHttpServerContext* ctx, int cause);
  virtual std::string GetTitle() const { return "Default Title"; }
  virtual bool TerminateExtension(uint32_t flags);
  virtual bool GetExtensionVersion(HseVersionInfo* version);
  virtual const CParseMap& GetParseMap() const = 0;

  // Reads the posted data, parses the request and calls the handler.
  uint32_t HttpExtensionProc(ExtensionControlBlock* ecb);

  // Longest posted data read; a longer body is a parse error.
  static constexpr uint32_t kMaxPostedBytes = 1 << 20;

 protected:
  // Runs the handler of a parsed command with its parameter values.
  virtual void CallHandler(CHttpServerContext* ctx, const ParsedRequest& request) = 0;

  // "<html><head><title>" + title + "</title></head><body>".
  std::string TitleBlock() const;
  // The framework's minimal page with its own header, written to the client.
  void WriteMinimalPage(CHttpServerContext* ctx, const std::string& body = "") const;

  char delimiter() const { return delimiter_; }

 private:
  char delimiter_;
};

}  // namespace tellwen::query
