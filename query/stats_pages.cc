#include "query/stats_pages.h"

#include <cctype>
#include <fstream>

#include "base/host_name.h"
#include "base/int_text.h"
#include "query/escape.h"
#include "query/home_page.h"
#include "query/page_scripts.h"
#include "query/query_server.h"
#include "query/search.h"
#include "query/site_blocks.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

const std::string& Col(const SqlRow& row, size_t i) {
  static const std::string kEmpty;
  return i < row.size() ? row[i] : kEmpty;
}

std::string TitleRow(const std::string& title, int columns) {
  return "<tr bgcolor='#e9f2fd'><td colspan=" + std::to_string(columns) + "><p class='gtitlu'><b>" +
         title + "</b></p></td></tr>\n";
}

std::string HeadRow(std::initializer_list<const char*> heads) {
  std::string row = "<tr bgcolor='#edf3f9'>";
  for (const char* head : heads)
    row += "<td nowrap><p class='stattext'><b>" + std::string(head) + "</b></p></td>";
  return row + "</tr>\n";
}

std::string Size(const std::string& kb) {
  const std::string t = TrimChar(kb, ' ');
  return IsDigits(t) ? FormatSizeKb(t) : "&nbsp;" + HtmlEscape(t);
}

std::string Count(const std::string& digits) {
  return HtmlEscape(DotGrouped(TrimChar(digits, ' ')));
}

const char* kTableStart =
    "<table align=center cellspacing=1 cellpadding=2 style='background-color:#b7b8ca; "
    "border:1px solid #b7b8ca; filter:progid:DXImageTransform.Microsoft.dropshadow(OffX=3, "
    "OffY=3, Color=#c0c0c0); box-shadow:3px 3px #c0c0c0;'";

}  // namespace

std::string DotGrouped(const std::string& digits) {
  if (!IsDigits(digits)) return digits;
  std::string out;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += '.';
    out += digits[i];
  }
  return out;
}

std::string UptimeText(long long seconds) {
  if (seconds < 0) seconds = 0;
  const long long days = seconds / 86400;
  seconds %= 86400;
  std::string text;
  if (days >= 1) text = std::to_string(days) + (days == 1 ? " day " : " days ");
  return text + ZeroPadded(seconds / 3600, 2) + ":" + ZeroPadded(seconds / 60 % 60, 2) + ":" +
         ZeroPadded(seconds % 60, 2);
}

std::string StatsNavigation(const std::string& script_name, const std::string& current) {
  static const struct {
    const char* word;
    const char* name;
    const char* arg;
  } kEntries[] = {{"misc", "misc", ""},
                  {"topshares", "top&nbsp;shares", "&path=topshares"},
                  {"charts", "charts", "&path=charts"},
                  {"files", "files", "&path=files"},
                  {"lastqueries", "queries", "&path=lastqueries"},
                  {"categories", "categories", "&path=categories"}};
  std::string o =
      "<center><p style='font-size:24pt; font-weight:bold; margin:0px;'>statistics</p></center>"
      "<table width='100%' style='border-top:1px solid #b7b8ca; border-bottom:1px solid "
      "#b7b8ca;'><tr><td><p class='goptiunea'>";
  for (const auto& e : kEntries) {
    if (current == e.word) {
      o += "<b class='indreaptadeforma'>" + std::string(e.name) + "</b>";
    } else {
      o += "<a class='indreapta' href='" + HtmlAttrEscape(script_name) + "?Command?stats=yes" +
           e.arg + "'>" + e.name + "</a>";
    }
    o += "&nbsp;&nbsp; ";
  }
  return o + "</p></td></tr></table>";
}

std::string MiscTable(const std::string& web_server, const std::string& uptime,
                      const SqlRows& rows) {
  std::string o = std::string(kTableStart) + ">\n" + TitleRow("&nbsp;Miscellaneous&nbsp;", 2);
  std::vector<std::pair<std::string, std::string>> all = {{"web server:", web_server},
                                                          {"uptime:", uptime}};
  for (const SqlRow& row : rows) all.emplace_back(Col(row, 1), Col(row, 2));
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string& raw = all[i].second;
    std::string value;
    if (i == 2) {
      value = Size(raw);
    } else if ((i >= 3 && i <= 6) || i == 9) {
      value = "&nbsp;" + Count(raw);
    } else if (i == 11 || i == 12) {
      value = Size(raw.substr(0, raw.find(' ')));
    } else {
      value = "&nbsp;" + HtmlEscape(raw);
    }
    o += "<tr bgcolor='white'><td><p class='stattext'>&nbsp;" + HtmlEscape(all[i].first) +
         "&nbsp;</p></td><td align=right><p class='stattext'>&nbsp;" + value +
         "&nbsp;</p></td></tr>\n";
  }
  return o + "</table>\n";
}

std::string TopSharesTable(const SqlRows& rows, const std::string& category_title,
                           bool category_view, bool ping_fresh, const std::string& script_name) {
  std::string o = std::string(kTableStart) +
                  " id=tabletop style='behavior:url(/kiv/sort4.htc)' class='sortable' "
                  "data-sort='4' data-sort-column='3' data-sort-descending='1'>\n<thead>";
  o += TitleRow(category_view ? "&nbsp;Top&nbsp;shares&nbsp;for&nbsp;category&nbsp;'" +
                                    HtmlEscape(category_title) + "'"
                              : std::string("&nbsp;Top&nbsp;shares&nbsp;"),
                5);
  o += HeadRow({"ping!", "computer", "&nbsp;count", "&nbsp;size", "last&nbsp;scan&nbsp;on"}) +
       "</thead><tbody>\n";
  for (const SqlRow& row : rows) {
    std::string computer = Col(row, 0);
    std::string name = computer.compare(0, 2, "//") == 0 ? computer.substr(2) : computer;
    std::string value = Col(row, 1);
    if (category_view) {
      const size_t star = value.find('*');
      value = star == std::string::npos ? "" : value.substr(star + 1);
    }
    const size_t star = value.find('*');
    const std::string count = star == std::string::npos ? value : value.substr(0, star);
    const std::string size = star == std::string::npos ? "0" : value.substr(star + 1);
    o += "<tr bgcolor='white'><td class=ac>" +
         PingCell(name, ping_fresh ? Col(row, 3) : "", Col(row, 4)) + "</td>";
    o += "<td nowrap><p class='stattext'>(<a href='" + HtmlAttrEscape(script_name) +
         "?Command?stats=browse&path=" + UrlEncode("//" + name) +
         "'>...</a>)&nbsp;&nbsp;<a href='file://" + HtmlAttrEscape(UrlEncode(name)) + "'>" +
         HtmlEscape(name) + "</a>&nbsp;</p></td>";
    o += "<td align=right><p class='stattext'>&nbsp;" + Count(count) + "</p></td>";
    o += "<td align=right><p class='stattext'>" + Size(size) + "&nbsp;</p></td>";
    o += "<td nowrap><p class='stattext'>&nbsp;" + HtmlEscape(Col(row, 2)) + "</p></td></tr>\n";
  }
  return o + "</tbody></table>\n<script language='javascript' src='/kiv/sorttable.js'></script>\n";
}

std::string CategoriesTable(const SqlRows& rows, const std::string& script_name) {
  std::string o = std::string(kTableStart) + " width='80%'>\n" +
                  TitleRow("&nbsp;Categories&nbsp;", 4) +
                  HeadRow({"&nbsp;name&nbsp;", "search&nbsp;", "&nbsp;count", "&nbsp;size"});
  if (rows.empty()) {
    return o + "<tr bgcolor='white'><td colspan=4><p class='stattext'>N/A</p></td></tr></table>\n";
  }
  int n = 0;
  for (const SqlRow& row : rows) {
    ++n;
    std::string display = Col(row, 3);
    std::string patterns = Col(row, 2);
    o += "<tr bgcolor='white'><td nowrap><p class='stattext'>&nbsp;" + HtmlEscape(display) +
         "&nbsp;<br>&nbsp;&nbsp;[<a class='indreapta' style='font-size:8pt; margin:0px;' href='" +
         HtmlAttrEscape(script_name) + "?Command?stats=yes&path=topshares&t=" + std::to_string(n) +
         "'>view top shares</a>]</p></td>";
    o += "<td><p class='stattext'>" + HtmlEscape(patterns) + "</p></td>";
    o += "<td align=right><p class='stattext'>&nbsp;" + Count(Col(row, 0)) + "</p></td>";
    o += "<td align=right><p class='stattext'>" + Size(Col(row, 1)) + "</p></td></tr>\n";
  }
  return o + "</table>\n";
}

std::string LastQueriesTable(const SqlRows& rows) {
  std::string o = std::string(kTableStart) + " width='60%'>\n" +
                  TitleRow("&nbsp;Last&nbsp;queries&nbsp;", 3) +
                  HeadRow({"time", "query", "status"});
  if (rows.empty()) {
    return o + "<tr bgcolor='white'><td colspan=3><p class='stattext'>N/A</p></td></tr></table>\n";
  }
  for (const SqlRow& row : rows) {
    const std::string& status = Col(row, 2);
    const char* cell = status == "1"   ? "style='color:#bb1111'>&nbsp;running..."
                       : status == "3" ? "style='color:red'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;error!"
                                       : "style='color:#116611'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                                         "&nbsp;&nbsp;done";
    o += "<tr bgcolor='white'><td nowrap><p class='stattext'>" + HtmlEscape(Col(row, 0)) +
         "</p></td><td><p class='stattext'>" + HtmlEscapeSpaces(Col(row, 1)) +
         "</p></td><td nowrap><p class='stattext' " + cell + "</p></td></tr>\n";
  }
  return o + "</table>\n";
}

std::string FilesTable(const SqlRows& rows) {
  long long largest = 0;
  for (const SqlRow& row : rows) largest = std::max(largest, ParseLong(Col(row, 2)));
  std::string o = std::string(kTableStart) + ">\n" + TitleRow("&nbsp;Files&nbsp;", 3) +
                  HeadRow({"size&nbsp;", "", "&nbsp;number&nbsp;of&nbsp;files"});
  for (const SqlRow& row : rows) {
    const long long count = std::max(0LL, ParseLong(Col(row, 2)));
    const long long width = largest > 0 ? count * 200 / largest + 2 : 2;
    o += "<tr bgcolor='white'><td nowrap><p class='stattext'>" +
         Escape(Col(row, 1), Escaping::kMarkupFree) +
         "</p></td><td><p style='border-color:#b7b8ca; background-color:#e7e8ea; border-style:"
         "solid; border-width:1px; margin:0px; font-size:6pt; width:" +
         std::to_string(width) + "px;'>&nbsp;</p></td><td align=right><p class='stattext'>&nbsp;" +
         Count(Col(row, 2)) + "</p></td></tr>\n";
  }
  return o + "</table>\n";
}

std::string ChartsPanel(const std::string& script_name, bool charting_on) {
  std::string o = std::string(kTableStart) + ">\n";
  o += "<tr bgcolor='white'><td valign=top><p class='stattext'>";
  static const struct {
    const char* id;
    const char* text;
    int kind;
  } kKinds[] = {{"hbhb1", "searches", 1}, {"hbhb2", "accesses", 2}, {"hbhb", "pings", 0},
                {"hbhb3", "times", 3},    {"hbhb4", "results", 4},  {"hbhb5", "failures", 5}};
  for (const auto& k : kKinds) {
    o += "<button id=" + std::string(k.id) + " style='width:80px' onclick='chooseKind(" +
         std::to_string(k.kind) + ")'>" + k.text + "</button><br>";
  }
  o += "</p></td><td><p class='gtitlu' id=charttitle>&nbsp;</p>"
       "<img id=imaginea width=443 height=150 alt='chart' src='/kiv/backsmall.gif'><br>"
       "<p class='stattext' align=center>";
  static const struct {
    const char* id;
    const char* text;
    int range;
  } kRanges[] = {{"haha", "[Yearly]", 3}, {"haha1", "[Weekly]", 2}, {"haha2", "[Daily]", 1}};
  for (const auto& r : kRanges) {
    o += "<button id=" + std::string(r.id) + " onclick='chooseRange(" + std::to_string(r.range) +
         ")'>" + r.text + "</button> ";
  }
  o += "</p></td></tr>\n";
  if (!charting_on) {
    o += "<tr bgcolor='white'><td colspan=2><p class='stattext' style='color:red'>Charting "
         "service is currently stopped.</p></td></tr>\n";
  }
  o += "</table>\n";
  o += "<script language='javascript'>\n"
       "var chartKind = 1, chartRange = 1;\n"
       "var kindIds = ['hbhb', 'hbhb1', 'hbhb2', 'hbhb3', 'hbhb4', 'hbhb5'];\n"
       "var kindTitles = ['pings', 'number of searches', 'accesses', 'server response times', "
       "'requested and returned results', 'failed requests'];\n"
       "var rangeIds = {1: 'haha2', 2: 'haha1', 3: 'haha'};\n"
       "var rangeTitles = {1: 'hourly updated', 2: 'daily updated', 3: 'monthly updated'};\n"
       "function showChart() {\n"
       "  for (var i = 0; i < 6; i++) { var b = document.getElementById(kindIds[i]);\n"
       "    b.disabled = (i == chartKind); b.style.fontWeight = (i == chartKind) ? 'bold' : "
       "'normal'; }\n"
       "  for (var r = 1; r <= 3; r++) { var c = document.getElementById(rangeIds[r]);\n"
       "    c.disabled = (r == chartRange); c.style.fontWeight = (r == chartRange) ? 'bold' : "
       "'normal'; }\n"
       "  document.getElementById('charttitle').innerHTML = kindTitles[chartKind] + ' (' + "
       "rangeTitles[chartRange] + ')';\n"
       "  document.getElementById('imaginea').src = '" +
       JsEscape(script_name) +
       "?Command?search=&recordfrom=&recordto=&dowait=&stats=chart&path=' + chartRange + "
       "'&t=' + chartKind + '&src=' + new Date().getTime();\n"
       "}\n"
       "function chooseKind(k) { chartKind = k; showChart(); }\n"
       "function chooseRange(r) { chartRange = r; showChart(); }\n"
       "showChart();\n"
       "</script>\n";
  return o;
}

int TopSharesCategory(const std::string& t) {
  if (!IsDigits(t) || t.size() > 6) return 0;
  return LeadingInt(t);
}

std::string TopSharesStatement(int category) {
  if (category <= 0) {
    return "select nume, convert(varchar(50), catefile) + '*' + convert(varchar(50), catimegi), "
           "lastscan, isnull((select status from monitor_pings where stat_topmegi.nume = "
           "monitor_pings.name), 0) as ping_status, isnull((select ping_time from monitor_pings "
           "where stat_topmegi.nume = monitor_pings.name), '0,0,0,0,0,0') as ping_time from "
           "stat_topmegi order by catimegi desc";
  }
  return "select stat_topmegi.nume, stat_categories.value, stat_topmegi.lastscan, isnull((select "
         "status from monitor_pings where stat_topmegi.nume = monitor_pings.name), 0) as "
         "ping_status, isnull((select ping_time from monitor_pings where stat_topmegi.nume = "
         "monitor_pings.name), '0,0,0,0,0,0') as ping_time from stat_categories, stat_topmegi "
         "where '//' + left(value, PATINDEX('%*%',value) - 1) = stat_topmegi.nume and  "
         "stat_categories.attr = 'top_gugu" +
         std::to_string(category) + "'  order by stat_categories.id";
}

std::string CategoryName(const std::string& categories, int n) {
  const std::vector<std::string> pieces = SplitText(categories, '|');
  if (n < 1 || static_cast<size_t>(n) >= pieces.size()) return std::string();
  const size_t slash = pieces[n].find('/');
  return pieces[n].substr(0, slash);
}

namespace {

// The web server's name in capitals ("" when the system cannot tell it).
std::string HostName() {
  std::string text = LocalHostName("");
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

long long UptimeSeconds() {
  std::ifstream in("/proc/uptime");
  double seconds = 0;
  in >> seconds;
  return static_cast<long long>(seconds);
}

}  // namespace

void StatsPage(Page& page, const CommandParams& p) {
  const std::string addr = PadLeft(page.remote_addr, 16);
  std::string word = p.path;
  if (word != "topshares" && word != "charts" && word != "files" && word != "lastqueries" &&
      word != "categories") {
    word = "misc";
  }
  auto run = [&](const std::string& statement, int columns, bool* failed) {
    SqlResult result = page.sql.Run(statement, columns, SqlCaller::kQueryRowReader);
    if (result.error) {
      page.reports.Detail("unexpected error [stats]: " + result.description +
                          " src:" + result.source);
      page.Append(FatalBlock(result.description, result.source, page.site.admin_contact) +
                  "<p>An error has occurred!</p>");
      *failed = true;
      return SqlRows();
    }
    return std::move(result.rows);
  };
  bool failed = false;
  std::string body;
  std::string short_line = addr + " stats/" + word;
  if (word == "misc") {
    SqlRows rows = run("select * from stat order by id;", 3, &failed);
    if (failed) return;
    if (rows.empty()) {
      page.reports.Short(short_line);
      return;
    }
    body = MiscTable(HtmlEscape(HostName()), UptimeText(UptimeSeconds()), rows);
  } else if (word == "topshares") {
    const bool category_view = p.t != kDefault;
    const int n = category_view ? TopSharesCategory(p.t) : 0;
    SqlRows rows;
    if (!category_view || n > 0) rows = run(TopSharesStatement(n), 5, &failed);
    if (failed) return;
    const bool fresh = PingResultsFreshNow(page.settings, page.clock);
    page.Write(ClockScript(page.clock.LocalNow()));
    body = TopSharesTable(rows, CategoryName(page.site.categories, n), category_view, fresh,
                          page.script_name);
    if (category_view) short_line = addr + " stats/topshares  [" + std::to_string(n) + "]";
  } else if (word == "categories") {
    const std::string sql =
        " select a.zcount, b.size, c.os, d.name from  ( select id, isnull(value, 0) as zcount "
        "from stat_categories where attr like 'count_%' ) a, ( select id, isnull(value, 0) as "
        "size from stat_categories where attr like 'size_%' ) b, (select id, isnull(value, 0) as "
        "os from stat_categories where attr like 'origs_%' ) c, ( select id, isnull(value, 0) as "
        "name from stat_categories where attr like 'oname_%' ) d where a.id = b.id - 1 and a.id "
        "= c.id - 2 and a.id = d.id - 4 order by a.id";
    SqlRows rows = run(sql, 4, &failed);
    if (failed) return;
    body = CategoriesTable(rows, page.script_name);
  } else if (word == "lastqueries") {
    SqlRows rows =
        run("select top 15 query_data, stringu, query_status from stat_last_queries order by "
            "query_data desc",
            3, &failed);
    if (failed) return;
    body = LastQueriesTable(rows);
  } else if (word == "files") {
    SqlRows rows = run("select * from stat_filesize order by id;", 3, &failed);
    if (failed) return;
    body = FilesTable(rows);
  } else {
    body = ChartsPanel(page.script_name, page.site.log_statistics);
  }
  page.Append(StatsNavigation(page.script_name, word));
  page.Append(body);
  page.Append("<p style='margin:0px; height:15px;'>&nbsp;</p>");
  page.Append(HomeLink(page.script_name, true, 20));
  page.Append("<p style='margin:0px; height:10px;'>&nbsp;</p>");
  page.reports.Short(short_line);
}

}  // namespace tellwen::query
