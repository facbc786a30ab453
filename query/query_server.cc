// CQueryServer's entry and dispatch: the parse map, the Default and Command
// handlers, the parse-error page and the answers of the image and download
// requests.
#include "query/query_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/kiv_registry.h"
#include "common/sql_session.h"
#include "query/access.h"
#include "query/browse_page.h"
#include "query/chart_page.h"
#include "query/download.h"
#include "query/faq.h"
#include "query/home_page.h"
#include "query/ping_page.h"
#include "query/search.h"
#include "query/stats_pages.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

// Control bytes of a request text would split a report line; they are shown
// as "?".
std::string LogSafe(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return out;
}

}  // namespace

void Page::ReportServerVariables() {
  if (!reports.detailed_on()) return;
  reports.Detail("HttpServerContext:");
  for (const char* name : {"CONTENT_LENGTH", "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST",
                           "REMOTE_USER", "REQUEST_METHOD", "SCRIPT_NAME", "SERVER_NAME",
                           "SERVER_PORT", "HTTP_USER_AGENT", "HTTP_HOST"}) {
    reports.Detail(std::string(name) + "=" + LogSafe(ctx->GetServerVariable(name)));
  }
}

SqlRows Page::RunStatement(const std::string& sql, int columns) {
  SqlResult result = MachineSql().Run(sql, columns, SqlCaller::kQueryStatementRunner);
  if (result.error) {
    reports.Detail("unexpected error [SQLQuery]: " + result.description + " src:" + result.source);
    return SqlRows();
  }
  return std::move(result.rows);
}

CQueryServer::CQueryServer() : CHttpServer('&') {
  parse_map_.AddCommand("Command", CommandParamList());
  parse_map_.AddCommand("Default", "");
  parse_map_.SetDefaultCommand("Default");
}

CQueryServer::~CQueryServer() = default;

bool CQueryServer::TerminateExtension(uint32_t) { return true; }

bool CQueryServer::GetExtensionVersion(HseVersionInfo* version) {
  CHttpServer::GetExtensionVersion(version);
  static constexpr char kDescription[] = "KIVQuery Extension";
  static_assert(sizeof kDescription <= kHseMaxExtDllNameLen);
  memcpy(version->lpszExtensionDesc, kDescription, sizeof kDescription);
  return true;
}

bool CQueryServer::OnParseError(CHttpServerContext* ctx, int cause) {
  Page page;
  page.ctx = ctx;
  page.reports.Detail("[!]Parse Error");
  page.ReportServerVariables();
  page.reports.Detail("[!]parseerror");
  page.reports.Detail("cause: " + std::to_string(cause));
  page.reports.Detail("querystring=" + LogSafe(ctx->query_string));
  page.reports.Detail("querystring=" + LogSafe(ctx->posted));
  page.reports.Detail(LogSafe(ParseCauseText(cause)));
  WriteMinimalPage(ctx);
  return true;
}

bool CQueryServer::HasDownloadPermission(CHttpServerContext* ctx) const {
  CKIVRegistry settings;
  return DownloadPermitted(ctx->GetServerVariable("REMOTE_ADDR"), settings);
}

void CQueryServer::CallHandler(CHttpServerContext* ctx, const ParsedRequest& request) {
  if (request.command == "Command") {
    Command(ctx, CommandParams::FromValues(request.values));
  } else {
    Default(ctx);
  }
}

void CQueryServer::Default(CHttpServerContext* ctx) {
  Page page;
  page.ctx = ctx;
  page.buffer = buffers_.Create(ctx->ConnId());
  page.script_name = ctx->GetServerVariable("SCRIPT_NAME");
  page.remote_addr = ctx->GetServerVariable("REMOTE_ADDR");
  BeginPage(page, false, false, false, false, false, false, "", false);
  ctx->html += TitleBlock();
  page.Append("yoooooooo");
  page.reports.Detail("[!]yoooooooo");
  EndPage(page, true, 0, "");
  // The framework's own response text follows the page, as it always did.
  ctx->WriteClient(ctx->html);
}

void CQueryServer::Command(CHttpServerContext* ctx, const CommandParams& p) {
  Page page;
  page.ctx = ctx;
  page.buffer = buffers_.Create(ctx->ConnId());
  page.script_name = ctx->GetServerVariable("SCRIPT_NAME");
  page.remote_addr = ctx->GetServerVariable("REMOTE_ADDR");
  const bool download = HasDownloadPermission(ctx);
  // The requests that answer without a framed page drop their entry.
  auto no_page = [&] { buffers_.Take(ctx->ConnId()); };

  if (p.stats == "ping") {
    no_page();
    PingRequest(ctx, p.path, *echo_, page.reports);
    return;
  }
  if (p.proxy != kDefault) {
    // Without the download permission the answer is empty.
    no_page();
    if (download) DownloadRequest(ctx, p.proxy, *network_, page.reports);
    return;
  }
  if (p.stats == "chart") {
    no_page();
    ChartRequest(ctx, p.path, p.t, chart_services_, page.reports);
    return;
  }
  if (p.page == "suggestions") {
    no_page();
    return;
  }
  if (p.page == "faq") {
    BeginPage(page, false, false, false, false, true, false, "Frequently Asked Questions", true);
    page.Append(FaqBody(CKIVRegistry().GetValue("AdministratorContact")));
    page.Append(HomeLink(page.script_name, true, 20));
    EndPage(page, true, 0, "");
    return;
  }
  if (p.page != kDefault) {
    BeginPage(page, false, false, false, false, false, false, "", false);
    EndPage(page, true, 0, "");
    return;
  }
  if (p.suggestions_name != kDefault || p.suggestions_subject != kDefault ||
      p.suggestions_message != kDefault) {
    no_page();
    return;
  }

  std::string search = p.search;
  if ((p.search == kDefault && p.recordfrom == kDefault && p.recordto == kDefault) ||
      (p.search == kDefault && p.recordfrom == "0") || TrimChar(p.search, ' ').empty()) {
    search.clear();
  }
  bool home = search.empty();
  const bool frame = p.t == "a" || p.t == "b" || p.t == "c";
  bool stats = false;
  bool browse = false;
  if (p.stats == "yes") {
    stats = true;
    home = false;
  } else if (p.stats == "browse") {
    browse = true;
    home = false;
  }

  {
    CKIVRegistry settings;
    if (IsRestricted(page.remote_addr, settings) || IsServiceClosed(settings)) {
      BeginPage(page, home, stats, browse, frame, !home, home, "", false);
      EndPage(page, home, 0, "");
      return;
    }
  }

  if (browse) {
    BeginPage(page, home, stats, browse, frame, !home, home, "Browser", false);
    BrowsePage(page, p.t, p.path);
    EndPage(page, home, 0, "");
    return;
  }
  if (stats) {
    std::string title = "Statistics - Miscellaneous";
    if (p.path == "charts")
      title = "Statistics - Charts";
    else if (p.path == "files")
      title = "Statistics - Files";
    else if (p.path == "topshares")
      title = p.t != kDefault ? "Statistics - Top category shares" : "Statistics - Top shares";
    else if (p.path == "lastqueries")
      title = "Statistics - Last queries";
    else if (p.path == "categories")
      title = "Statistics - Categories";
    BeginPage(page, home, stats, browse, frame, !home, home, title, false);
    StatsPage(page, p);
    EndPage(page, home, 0, "");
    return;
  }

  BeginPage(page, home, stats, browse, frame, !home, home,
            home ? "" : "Searching...&nbsp;&nbsp;&nbsp;please wait!", false);
  if (home) {
    HomePage(page);
    EndPage(page, true, 0, "");
    return;
  }
  bool invalid_string = false;
  const int nav_count = SearchPage(page, p, search, download, &invalid_string);
  EndPage(page, false, nav_count,
          invalid_string ? "You have entered an invalid string"
                         : "Search results for \\'" + JsEscape(search) + "\\'");
}

}  // namespace tellwen::query
