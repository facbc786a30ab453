// CQueryServer's entry and dispatch: the parse map, the Default and Command
// handlers, the parse-error page and the answers of the image and download
// requests.
#include "query/query_server.h"

#include <cstdio>
#include <cstring>

#include "common/sql_session.h"
#include "query/browse_page.h"
#include "query/chart_page.h"
#include "query/download.h"
#include "query/escape.h"
#include "query/faq.h"
#include "query/home_page.h"
#include "query/ping_page.h"
#include "query/report_text.h"
#include "query/search.h"
#include "query/stats_pages.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

// The title of the statistics page that path names.
std::string StatisticsTitle(const CommandParams& p) {
  if (p.path == "charts") return "Statistics - Charts";
  if (p.path == "files") return "Statistics - Files";
  if (p.path == "topshares") {
    return p.t != kDefault ? "Statistics - Top category shares" : "Statistics - Top shares";
  }
  if (p.path == "lastqueries") return "Statistics - Last queries";
  if (p.path == "categories") return "Statistics - Categories";
  return "Statistics - Miscellaneous";
}

}  // namespace

Page::Page(CHttpServerContext* context, Settings& settings_in, SqlSession& sql_in, Clock& clock_in,
           LogWriter& logs_in)
    : ctx(context),
      settings(settings_in),
      sql(sql_in),
      clock(clock_in),
      logs(logs_in),
      site(ReadSiteSettings(settings_in)),
      reports(site.reports, clock_in),
      script_name(context->GetServerVariable("SCRIPT_NAME")),
      remote_addr(context->GetServerVariable("REMOTE_ADDR")),
      access(CheckAccess(remote_addr, site.access)) {}

void Page::ReportServerVariables() {
  if (!reports.detailed_on()) return;
  reports.Detail("HttpServerContext:");
  for (const char* name : {"CONTENT_LENGTH", "QUERY_STRING", "REMOTE_ADDR", "REMOTE_HOST",
                           "REMOTE_USER", "REQUEST_METHOD", "SCRIPT_NAME", "SERVER_NAME",
                           "SERVER_PORT", "HTTP_USER_AGENT", "HTTP_HOST"}) {
    reports.Detail(std::string(name) + "=" + LogSafe(ctx->GetServerVariable(name)));
  }
}

SqlRows Page::RunStatement(const std::string& statement, int columns) {
  SqlResult result = sql.Run(statement, columns, SqlCaller::kQueryStatementRunner);
  if (result.error) {
    reports.Detail("unexpected error [SQLQuery]: " + result.description + " src:" + result.source);
    return SqlRows();
  }
  return std::move(result.rows);
}

void Page::WriteLog(const std::string& statement) {
  const SqlResult result = logs.Write(statement);
  NoteWrite(logs.failures(), result.error, "the log rows",
            "unexpected error [SQLQuery]: " + result.description + " src:" + result.source);
}

void Page::NoteWrite(FailureRun& run, bool failed, const std::string& what,
                     const std::string& error) {
  const std::string line = run.Note(failed, what, error);
  if (!line.empty()) reports.Notice(line);
}

CQueryServer::CQueryServer(Settings& settings, SqlSession& sql, Clock& clock)
    : CHttpServer('&'), settings_(settings), sql_(sql), clock_(clock), logs_(sql) {
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
  // The web server loads the extension before it takes requests, so no
  // search of this process is running yet: the searches still marked
  // running were left by a server that ended during them (killed, or the
  // machine stopped) and are marked as failed searches are.
  const SqlResult marked = logs_.Write(kLeftRunningMark);
  if (marked.error) {
    std::fprintf(stderr, "KIVQuery: the searches left running could not be marked ended: %s\n",
                 LogSafe(marked.description).c_str());
  }
  return true;
}

bool CQueryServer::OnParseError(CHttpServerContext* ctx, int cause) {
  Page page(ctx, settings_, sql_, clock_, logs_);
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

void CQueryServer::CallHandler(CHttpServerContext* ctx, const ParsedRequest& request) {
  // The request's database calls read the connection settings and their
  // timeouts once, at the first call, instead of once per batch.
  SqlSettingsScope sql_settings;
  if (request.command == "Command") {
    Command(ctx, CommandParams::FromValues(request.values));
  } else {
    Default(ctx);
  }
}

void CQueryServer::Default(CHttpServerContext* ctx) {
  Page page(ctx, settings_, sql_, clock_, logs_);
  page.buffer = buffers_.Create(ctx->ConnId());
  BeginPage(page, {});
  ctx->html += TitleBlock();
  page.Append("yoooooooo");
  page.reports.Detail("[!]yoooooooo");
  EndPage(page, true, 0, "");
  // The framework's own response text follows the page.
  ctx->WriteClient(ctx->html);
}

void CQueryServer::Command(CHttpServerContext* ctx, const CommandParams& p) {
  Page page(ctx, settings_, sql_, clock_, logs_);
  page.buffer = buffers_.Create(ctx->ConnId());
  const bool download = DownloadPermitted(page.remote_addr, page.site.download);
  // The requests that answer without a framed page drop their entry.
  auto no_page = [&] { buffers_.Take(ctx->ConnId()); };

  if (p.stats == "ping") {
    no_page();
    PingRequest(ctx, p.path, *echo_, page.site, sql_, clock_, page.reports);
    return;
  }
  if (p.proxy != kDefault) {
    // Without the download permission the answer is empty.
    no_page();
    if (download) {
      DownloadRequest(ctx, p.proxy, page.site.download, *network_, sql_, page.reports);
    }
    return;
  }
  if (p.stats == "chart") {
    no_page();
    ChartRequest(ctx, p.path, p.t, sql_, clock_, page.reports);
    return;
  }
  if (p.page == "suggestions") {
    no_page();
    return;
  }
  if (p.page == "faq") {
    BeginPage(page,
              {.kind = PageKind::kFaq, .title = "Frequently Asked Questions", .home_link = true});
    page.Append(FaqBody(page.site.admin_contact));
    page.Append(HomeLink(page.script_name, true, 20));
    EndPage(page, true, 0, "");
    return;
  }
  if (p.page != kDefault) {
    BeginPage(page, {});
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
  PageFrame frame;
  frame.kind = search.empty() ? PageKind::kHome : PageKind::kSearch;
  if (p.stats == "yes") {
    frame.kind = PageKind::kStatistics;
  } else if (p.stats == "browse") {
    frame.kind = PageKind::kBrowse;
  }
  const bool home = frame.kind == PageKind::kHome;
  frame.in_frame = p.t == "a" || p.t == "b" || p.t == "c";
  frame.home_link = !home;

  if (page.access.refused()) {
    BeginPage(page, frame);
    EndPage(page, home, 0, "");
    return;
  }
  if (frame.kind == PageKind::kBrowse) {
    frame.title = "Browser";
    BeginPage(page, frame);
    BrowsePage(page, p.t, p.path);
    EndPage(page, home, 0, "");
    return;
  }
  if (frame.kind == PageKind::kStatistics) {
    frame.title = StatisticsTitle(p);
    BeginPage(page, frame);
    StatsPage(page, p);
    EndPage(page, home, 0, "");
    return;
  }

  if (!home) frame.title = "Searching...&nbsp;&nbsp;&nbsp;please wait!";
  BeginPage(page, frame);
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
