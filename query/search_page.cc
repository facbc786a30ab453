// The search page and the home page of CQueryServer: the search run through
// the database session between the wait block and the results, with its
// logs, and the home page with its counter and access record.
#include "base/time_text.h"
#include "common/sql_text.h"
#include "query/access.h"
#include "query/escape.h"
#include "query/home_page.h"
#include "query/page_scripts.h"
#include "query/query_server.h"
#include "query/quick_links.h"
#include "query/results.h"
#include "query/search.h"
#include "query/site_blocks.h"
#include "query/text_utils.h"
#include "query/visitor_counter.h"

namespace tellwen::query {

namespace {

void ReportParams(Page& page, const CommandParams& p) {
  if (!page.reports.detailed_on()) return;
  auto line = [&](const char* label, const std::string& value) {
    page.reports.Detail(std::string(label) + "\"" + LogSafe(value) + "\"");
  };
  line(" string: ", p.search);
  line("   from: ", p.recordfrom);
  line("     to: ", p.recordto);
  line(" dowait: ", p.dowait);
  line("      shares: ", p.shares);
  line("        dirs: ", p.dirs);
  line("       files: ", p.files);
  line(" sizebetween: ", p.sizebetween);
  line("     sizemin: ", p.sizemin);
  line(" sizeminunit: ", p.sizeminunit);
  line("     sizemax: ", p.sizemax);
  line(" sizemaxunit: ", p.sizemaxunit);
  line("    pagesize: ", p.pagesize);
  line("         src: ", p.src);
  line("       stats: ", p.stats);
  line("        path: ", p.path);
  line("           t: ", p.t);
  line("       proxy: ", p.proxy);
  line("  searchkind: ", p.searchkind);
  line("    sugg_name: ", p.suggestions_name);
  line(" sugg_subject: ", p.suggestions_subject);
  line(" sugg_message: ", p.suggestions_message);
  line("        page: ", p.page);
  line("searchcategory: ", p.searchcategory);
  line(" fromcategory: ", p.fromcategory);
  line("   autoping: ", p.automaticping);
  line("     alives: ", p.alives);
}

// The short report's line of one search; count < 0 marks a failed search.
std::string SearchShortLine(const std::string& search, const SearchPlan& plan,
                            const CommandParams& p, long long count, const std::string& remote_addr,
                            bool automatic_ping, bool alive_only, const std::string& query_time) {
  const char* kind = plan.kind == 0 ? "ANY" : plan.kind == 2 ? "EXC" : "ALL";
  std::string line =
      PadLeft("\"" + LogSafe(search) + "\"", 25) + " [" + kind + "] [" +
      PadLeft(std::to_string(plan.from), 4) + "; " +
      (count < 0 ? std::string(" ERR/") : PadLeft(std::to_string(count), 4) + "/") +
      PadLeft(std::to_string(plan.page_size), 4) + "] " + PadLeft(LogSafe(remote_addr), 16) + " " +
      (plan.shares ? "*" : ".") + (plan.dirs ? "*" : ".") + (plan.files ? "*" : ".") + " [" +
      PadLeft(std::to_string(plan.min_kb), 10) + ", " +
      PadLeft(plan.max_kb == 2147483647 ? "max" : std::to_string(plan.max_kb), 10) + "] " +
      (automatic_ping ? "[AUTOPING" : "[MANUPING") + (alive_only ? "-A" : "-_") + "]  " + "[" +
      (p.fromcategory == "on" ? PadLeft(LogSafe(p.searchcategory), 20) : std::string(20, '-')) +
      "]" + "  " + (count < 0 ? std::string("--:--") : query_time) + "  [" +
      PadLeft(LogSafe(p.src), 4) + "]";
  return line;
}

}  // namespace

int CQueryServer::SearchPage(Page& page, const CommandParams& p, const std::string& search,
                             bool download, bool* invalid_string) {
  const SearchPlan plan = PlanSearch(search, p, page.site.categories);
  if (!plan.valid) {
    if (plan.invalid_chars) {
      *invalid_string = true;
      page.Append(InvalidStringBlock(page.script_name));
      page.reports.Detail("invalid string OK");
    } else {
      page.Append("yooo man, what the heck r u doing??");
      page.reports.Detail("[!]SHIT HAPPENS");
    }
    return 0;
  }

  char conn[32];
  snprintf(conn, sizeof conn, "%p", page.ctx->ConnId());
  page.reports.Detail(std::string("process started: ") + conn);
  ReportParams(page, p);
  page.ReportServerVariables();
  page.reports.Detail("querystring=" + LogSafe(page.ctx->query_string));
  page.reports.Detail("querystring=" + LogSafe(page.ctx->posted));

  const std::time_t start = page.clock.Now();
  const std::tm started = page.clock.LocalNow();
  page.Write(WaitBlock() + ClockScript(started));

  const bool fresh = PingResultsFreshNow(page.settings, page.clock);
  const bool automatic_ping = p.automaticping == "on" && fresh;
  const bool alive_only = p.alives == "on" && fresh;
  const std::string query_date = FormatTime(started, kSqlTimeFormat);
  const std::string& request_id = page.reports.id();

  SqlResult result;
  bool logged = false;  // the search's row in stat_last_queries was written
  if (plan.shares || plan.dirs || plan.files) {
    // The search's rows go through the log writer, grouped with the other
    // pages' log rows, and spSearch writes none of its own. When they cannot
    // be written (a full disk) the search still runs: the catalog is only read.
    const SqlResult start = page.logs.Write(SearchStartMark(search, query_date, request_id));
    logged = !start.error;
    page.NoteWrite(page.logs.failures(), start.error, "the log rows", start.description);
    const std::string call = SpSearchCall(plan, search, alive_only && automatic_ping, query_date,
                                          request_id, /*log_query=*/false);
    // The update job drops and re-creates the procedures; a search that
    // falls into that moment waits for spSearch to be back (nothing of the
    // call has run), for up to three seconds, before it reports the error.
    for (int attempt = 0;; ++attempt) {
      result = page.sql.Run(call, 10, SqlCaller::kQuerySearch);
      if (!result.error || attempt >= 30 ||
          result.description.find("Could not find stored procedure 'spSearch'") ==
              std::string::npos) {
        break;
      }
      page.clock.SleepFor(100);
    }
  }
  if (result.error) {
    page.reports.Detail("unexpected error: " + result.description + " src:" + result.source);
    page.Append(FatalBlock(result.description, result.source, page.site.admin_contact));
    page.Append(HomeLink(page.script_name, true, 20));
    page.Append(
        "<script language='javascript'>var kivw = document.getElementById('tdDisp'); if (kivw) "
        "kivw.style.display = 'none';</script>");
    if (logged) page.WriteLog(FailureMark(request_id));
    page.reports.Short(
        SearchShortLine(search, plan, p, -1, page.remote_addr, automatic_ping, alive_only, ""));
    return 0;
  }

  const long long count = static_cast<long long>(result.rows.size());
  const long long elapsed = std::max<long long>(0, page.clock.Now() - start);
  const std::string query_time =
      ZeroPadded(elapsed / 60 % 60, 2) + ":" + ZeroPadded(elapsed % 60, 2);
  page.reports.Detail("query time: " + query_time);
  page.reports.Detail("no of results: " + std::to_string(count));
  // The search's end and its statistics row in one write of the log writer.
  std::string done = logged ? SearchDoneMark(request_id) : "";
  if (page.site.log_statistics) {
    if (!done.empty()) done += '\n';
    done += SearchLogInsert(plan, search, query_date, count, page.remote_addr, elapsed);
  }
  if (!done.empty()) page.WriteLog(done);
  page.reports.Short(SearchShortLine(search, plan, p, count, page.remote_addr, automatic_ping,
                                     alive_only, query_time));

  int nav_count = 0;
  page.Append(QueryTimeLine(query_time));
  page.Append(HeaderLine(search, ScopeText(plan.shares, plan.dirs, plan.files, plan.files_label),
                         plan.from, count));
  if (plan.from == 0) {
    const std::string statement = QuickLinksStatement(search);
    if (!statement.empty()) page.Append(QuickLinksBlock(page.RunStatement(statement, 2)));
  }
  const std::string extra = ExtraParameters(p);
  const long long a = plan.from;
  const long long b = plan.from + plan.page_size - 1;
  if (count > 0) {
    page.Append(
        PagingBar(page.script_name, search, extra, a, b, count, plan.page_size, &nav_count));
    // The rows go straight into the page buffer, which grows once for them
    // (a row's markup is well under 1 KiB): no block of megabytes to map,
    // fault in and unmap for every page.
    std::string& rows = *page.buffer;
    rows.reserve(rows.size() + result.rows.size() * 1024 + 4096);
    rows += ResultsTableStart(download);
    for (const SqlRow& row : result.rows) {
      AppendResultRow(row, automatic_ping, download, page.script_name, &rows);
    }
    rows += ResultsTableEnd();
    page.Append(
        PagingBar(page.script_name, search, extra, a, b, count, plan.page_size, &nav_count));
  } else {
    page.Append(NoRecordsBox());
    page.Append(
        PagingBar(page.script_name, search, extra, a, b, count, plan.page_size, &nav_count));
  }
  return nav_count;
}

void CQueryServer::HomePage(Page& page) {
  const int visitor = TakeVisitorNumber(page.settings);
  page.reports.Detail("visitor no. " + std::to_string(visitor));
  page.Append(
      BannerAndCounter(page.site.first_page_info, page.site.first_page_info_severity, visitor));
  page.Append(SearchForm(page.script_name, page.site.categories));
  page.reports.Short("[" + ZeroPadded(visitor, 7) + "] " + PadLeft(LogSafe(page.remote_addr), 16) +
                     "   \"" + LogSafe(page.ctx->GetServerVariable("HTTP_REFERER")) + "\"");
  if (page.site.log_statistics) {
    page.WriteLog("insert stat_access values ('" + SqlNow(page.clock) + "', " +
                  std::to_string(visitor) + ",  '" + SqlQuoted(page.remote_addr) + "')");
  }
  page.reports.Detail("displaying first page OK");
}

}  // namespace tellwen::query
