// CQueryServer: the search site's web extension. One object lives from the
// library's load to its unload; every request runs Command (or Default) on
// the server's request threads, each with its own Page.
//
// Command decides by the dispatch rules which page to produce; BeginPage
// sends the header and the page head straight to the client and applies the
// access gates; the page body is appended to the request's page buffer, which
// EndPage writes to the client in one write.
//
// Thread safety: every member function may run on many threads at once; the
// only shared state is the guarded page-buffer map and the request counter.
#pragma once

#include <string>
#include <string_view>

#include "common/db_session.h"
#include "platform/net/icmp_echo.h"
#include "platform/net/smb_network.h"
#include "query/charts/chart_cache.h"
#include "query/command_params.h"
#include "query/http_server.h"
#include "query/page_buffer.h"
#include "query/reports.h"

namespace tellwen::query {

// One request's page: its context, its page-buffer entry and its reports.
struct Page {
  CHttpServerContext* ctx = nullptr;
  std::string* buffer = nullptr;
  RequestReports reports;
  std::string script_name;  // SCRIPT_NAME: the extension's own URL
  std::string remote_addr;  // REMOTE_ADDR

  void Append(std::string_view text) { buffer->append(text); }
  // Straight to the client, ahead of the page buffer.
  void Write(const std::string& text) { ctx->WriteClient(text); }
  // The detailed report's block of server variables ("HttpServerContext:").
  void ReportServerVariables();
  // The statement runner: runs sql with the runner's timeouts; a database
  // error goes to the detailed report and gives no rows.
  SqlRows RunStatement(const std::string& sql, int columns = 0);
};

class CQueryServer : public CHttpServer {
 public:
  CQueryServer();
  ~CQueryServer() override;

  bool OnParseError(CHttpServerContext* ctx, int cause) override;
  std::string GetTitle() const override { return "execution results"; }
  bool TerminateExtension(uint32_t flags) override;
  bool GetExtensionVersion(HseVersionInfo* version) override;
  const CParseMap& GetParseMap() const override { return parse_map_; }

  // The page frame (see the file comment). d, e and f pass on to the
  // navigation links: not-home, home and faq.
  virtual void BeginPage(Page& page, bool home, bool stats, bool browse, bool frame, bool d, bool e,
                         const std::string& title, bool f);
  virtual void EndPage(Page& page, bool home, int nav_count, const std::string& title);

  // The handlers.
  void Default(CHttpServerContext* ctx);
  void Command(CHttpServerContext* ctx, const CommandParams& params);

  // The download permission of a request (query/download.h gives the rule).
  bool HasDownloadPermission(CHttpServerContext* ctx) const;

  PageBuffers& buffers() { return buffers_; }
  // The echo the on-demand ping uses (tests give a fake); the ICMP echo by
  // default. REQUIRES: set before requests run; echo outlives the server.
  void SetEchoService(net::EchoService* echo) { echo_ = echo; }
  // The network downloads read files from (SMB by default; tests give a fake).
  void SetNetwork(net::Network* network) { network_ = network; }
  // What chart drawing takes from outside (tests give a clock and rows).
  void SetChartServices(ChartServices services) { chart_services_ = std::move(services); }

 protected:
  void CallHandler(CHttpServerContext* ctx, const ParsedRequest& request) override;

 private:
  // The search page: validation, wait block, the search and its results.
  // Returns navCount; *invalid_string tells the title to use.
  int SearchPage(Page& page, const CommandParams& params, const std::string& search, bool download,
                 bool* invalid_string);
  // The home page body: banner, counter, search form and the access record.
  void HomePage(Page& page);

  CParseMap parse_map_;
  PageBuffers buffers_;
  net::IcmpEcho icmp_echo_;
  net::EchoService* echo_ = &icmp_echo_;
  net::SmbNetwork smb_network_;
  net::Network* network_ = &smb_network_;
  ChartServices chart_services_ = DefaultChartServices();
};

// The one extension object of the library.
CQueryServer* TheQueryServer();

}  // namespace tellwen::query
