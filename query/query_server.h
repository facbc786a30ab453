// CQueryServer: the search site's web extension. One object lives from the
// library's load to its unload; every request runs Command (or Default) on
// the server's request threads, each with its own Page.
//
// The server reaches the settings, the catalog database and the time only
// through the Settings, SqlSession and Clock it is made with (the machine's
// in the library, fakes in tests). Each request reads its settings once into
// the Page's snapshot (query/site_settings.h) and decides the access gates
// once on it.
//
// Command decides by the dispatch rules which page to produce; BeginPage
// sends the header and the page head straight to the client and applies the
// access gates; the page body is appended to the request's page buffer, which
// EndPage writes to the client in one write.
//
// Thread safety: every member function may run on many threads at once; the
// only shared state is the guarded page-buffer map, the request counter and
// the log writer (query/log_writer.h), which groups the pages' log rows.
// The Settings, SqlSession and Clock must allow calls from many threads.
#pragma once

#include <string>
#include <string_view>

#include "base/clock.h"
#include "common/db_session.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/net/icmp_echo.h"
#include "platform/net/smb_network.h"
#include "query/access.h"
#include "query/command_params.h"
#include "query/http_server.h"
#include "query/log_writer.h"
#include "query/page_buffer.h"
#include "query/reports.h"
#include "query/site_settings.h"

namespace tellwen::query {

// One request's page: its context, the seams it reaches the world through,
// its settings snapshot and access verdict, its page-buffer entry and its
// reports.
struct Page {
  // Reads the request's settings and decides its access gates.
  Page(CHttpServerContext* context, Settings& settings, SqlSession& sql, Clock& clock,
       LogWriter& logs);

  CHttpServerContext* ctx;
  // For the values read at their moment and the values the request writes.
  Settings& settings;
  SqlSession& sql;
  Clock& clock;
  LogWriter& logs;
  const SiteSettings site;  // read once when the request starts
  std::string* buffer = nullptr;
  RequestReports reports;
  std::string script_name;  // SCRIPT_NAME: the extension's own URL
  std::string remote_addr;  // REMOTE_ADDR
  AccessVerdict access;

  void Append(std::string_view text) { buffer->append(text); }
  // Straight to the client, ahead of the page buffer.
  void Write(const std::string& text) { ctx->WriteClient(text); }
  // The detailed report's block of server variables ("HttpServerContext:").
  void ReportServerVariables();
  // The statement runner: runs sql with the runner's timeouts; a database
  // error goes to the detailed report and gives no rows.
  SqlRows RunStatement(const std::string& sql, int columns = 0);
  // A log row (stat_access, stat_access_failure, stat_searchs, the failure
  // mark of stat_last_queries) through the server's LogWriter: returns once
  // it is committed. Failed writes are reported as a run (NoteWrite), not
  // one by one: the page goes on as if the row were written.
  void WriteLog(const std::string& statement);
  // Reports the start of a run of failed writes of one kind (what: "the log
  // rows"; error: the first failure's text) and its end, each once, as a
  // notice (RequestReports::Notice).
  void NoteWrite(FailureRun& run, bool failed, const std::string& what,
                 const std::string& error = "");
};

// What kind of page a framed page is: it chooses the logo, the scripts and
// styles of the head and which navigation link is the page's own.
enum class PageKind {
  kPlain,       // no page of the site's own (the Default page, an unknown page)
  kHome,        // the home page
  kSearch,      // the search results
  kStatistics,  // a statistics page
  kBrowse,      // the browse page or one of its frames
  kFaq,         // the FAQ page
};

// What BeginPage frames a page with.
struct PageFrame {
  PageKind kind = PageKind::kPlain;
  std::string title;       // after "Tellwen - " in the head's title; "" for none
  bool in_frame = false;   // the page is an inner frame: the head stops after the body tag
  bool home_link = false;  // the navigation offers "<< home"
};

class CQueryServer : public CHttpServer {
 public:
  // settings, sql and clock outlive the server.
  CQueryServer(Settings& settings, SqlSession& sql, Clock& clock);
  ~CQueryServer() override;

  bool OnParseError(CHttpServerContext* ctx, int cause) override;
  std::string GetTitle() const override { return "execution results"; }
  bool TerminateExtension(uint32_t flags) override;
  // Also marks the searches a server that ended during them left running
  // as failed (kLeftRunningMark): the web server calls it once, before it
  // takes requests.
  bool GetExtensionVersion(HseVersionInfo* version) override;
  const CParseMap& GetParseMap() const override { return parse_map_; }

  // The page frame (see the file comment).
  virtual void BeginPage(Page& page, const PageFrame& frame);
  virtual void EndPage(Page& page, bool home, int nav_count, const std::string& title);

  // The handlers.
  void Default(CHttpServerContext* ctx);
  void Command(CHttpServerContext* ctx, const CommandParams& params);

  PageBuffers& buffers() { return buffers_; }
  // The echo the on-demand ping uses (tests give a fake); the ICMP echo by
  // default. REQUIRES: set before requests run; echo outlives the server.
  void SetEchoService(net::EchoService* echo) { echo_ = echo; }
  // The network downloads read files from (SMB by default; tests give a fake).
  void SetNetwork(net::Network* network) { network_ = network; }

 protected:
  void CallHandler(CHttpServerContext* ctx, const ParsedRequest& request) override;

 private:
  // The search page: validation, wait block, the search and its results.
  // Returns navCount; *invalid_string tells the title to use.
  int SearchPage(Page& page, const CommandParams& params, const std::string& search, bool download,
                 bool* invalid_string);
  // The home page body: banner, counter, search form and the access record.
  void HomePage(Page& page);

  Settings& settings_;
  SqlSession& sql_;
  Clock& clock_;
  LogWriter logs_;
  CParseMap parse_map_;
  PageBuffers buffers_;
  net::IcmpEcho icmp_echo_;
  net::EchoService* echo_ = &icmp_echo_;
  net::SmbNetwork smb_network_;
  net::Network* network_ = &smb_network_;
};

// The one extension object of the library.
CQueryServer* TheQueryServer();

}  // namespace tellwen::query
