#include "query/browse_page.h"

#include "common/sql_text.h"
#include "query/escape.h"
#include "query/home_page.h"
#include "query/query_server.h"
#include "query/site_blocks.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

std::string LinkBase(const std::string& script_name) {
  return HtmlAttrEscape(script_name) + "?Command?stats=browse&path=";
}

const std::string& Col(const SqlRow& row, size_t i) {
  static const std::string kEmpty;
  return i < row.size() ? row[i] : kEmpty;
}

// The script that sets an element of the outer page: the element as a
// property of the outer window for old browsers, and looked up by id for
// today's browsers.
std::string OuterScript(const char* id, const char* property, const std::string& js_text) {
  return "<SCRIPT language=javascript>if ('[object]' == parent." + std::string(id) + ") {parent." +
         id + "." + property + "=\"" + js_text +
         "\"; } else if (parent.document && parent.document.getElementById('" + id +
         "')) { parent.document.getElementById('" + id + "').innerHTML=\"" + js_text +
         "\"; };</script>";
}

}  // namespace

BrowsePath ParseBrowsePath(const std::string& path) {
  BrowsePath out;
  if (path.compare(0, 2, "//") != 0) return out;
  size_t slash = path.find('/', 2);
  out.computer = path.substr(0, slash);
  if (slash == std::string::npos) return out;
  const size_t next = path.find('/', slash + 1);
  out.share =
      path.substr(slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
  if (next == std::string::npos) return out;
  out.folder = path.substr(next + 1);
  while (!out.folder.empty() && out.folder.back() == '/') out.folder.pop_back();
  return out;
}

std::string SpDirStatement(char frame, const BrowsePath& path) {
  if (frame == 'a') return "spDir '', '', '';";
  if (frame == 'b') return "spDir '" + SqlQuoted(path.computer) + "', '', '';";
  return "spDir '" + SqlQuoted(path.computer) + "', '" + SqlQuoted(path.share) + "', '" +
         SqlQuoted(path.folder) + "';";
}

std::string BrowseDate(const std::string& date) {
  const std::string d = date.substr(0, 10);
  if (d.size() == 10 && d[2] == '/' && d[5] == '/' && IsDigits(d.substr(0, 2)) &&
      IsDigits(d.substr(3, 2)) && IsDigits(d.substr(6, 4))) {
    return d.substr(3, 2) + "-" + d.substr(0, 2) + "-" + d.substr(6, 4);
  }
  return HtmlEscape(d);
}

std::string LocationTrail(const std::string& script_name, const std::string& path) {
  const std::string base = LinkBase(script_name);
  std::string trail = "<a href='" + base + "'>/</a>";
  if (path.compare(0, 2, "//") != 0) return trail;
  std::string so_far = "/";
  for (const std::string& piece : SplitText(path.substr(2), '/')) {
    so_far += "/" + piece;
    trail += "<a href='" + base + UrlEncode(so_far) + "'>" + HtmlEscape(piece) + "</a>";
  }
  return trail;
}

std::string BrowseOuterPage(const std::string& script_name, const std::string& path) {
  const std::string src = LinkBase(script_name) + UrlEncode(path);
  std::string o =
      "<center><p style='font-size:24pt; font-weight:bold; margin:0px;'>browser</p></center>\n"
      "<table align=center width=800px height=400px cellspacing=0 cellpadding=0 "
      "style='background-image:url(/kiv/backsmall.gif); border:1px solid #b7b8ca;'>\n"
      "<tr bgcolor='#edf3f9'><td width=250px><p class='tit'>Computers</p></td><td "
      "width=200px><p class='tit'>Shares</p></td><td width=350px><p class='tit'>Directories and "
      "files</p></td></tr>\n<tr><td>";
  o += "<iframe border=0 frameborder=no marginwidth=0 scrolling=no src='" + src +
       "&t=a' height=400px width=250px name=a></iframe></td><td>";
  o += "<iframe border=0 frameborder=no marginwidth=0 scrolling=no src='" + src +
       "&t=b' height=400px width=200px name=b></iframe></td><td>";
  o += "<iframe border=0 frameborder=no marginwidth=0 scrolling=no src='" + src +
       "&t=c' height=400px width=350px name=c></iframe></td></tr>\n";
  o += "<tr bgcolor='#edf3f9'><td colspan=3><p class='stattext'>&nbsp;current&nbsp;path:&nbsp;"
       "<span id=cale>" +
       LocationTrail(script_name, path) +
       "</span>&nbsp;query&nbsp;time:&nbsp;<span id=timpul>00:00</span></p></td></tr>\n"
       "</table>\n";
  o += HomeLink(script_name, true, 20);
  o += "<p style='margin:0px; height:10px;'>&nbsp;</p>";
  return o;
}

std::string BrowseFrameRows(char frame, const BrowsePath& path, const SqlRows& rows,
                            const std::string& script_name) {
  const std::string base = LinkBase(script_name);
  std::string o;
  o.reserve(1 << 20);
  o += "<div class=ifr style=\"width:" +
       std::string(frame == 'a'   ? "250"
                   : frame == 'b' ? "200"
                                  : "350") +
       "px; height:400px; overflow: auto\" >";
  if (frame == 'a') {
    o +=
        "<table id=table3a class='sortable' data-sort='1' data-sort-column='0' width='100%' "
        "style='behavior:url(/kiv/sort1.htc)' cellspacing=0><thead><tr><td><p "
        "class='tit'>name</p></td><td><p class='tit'>last&nbsp;scan</p></td></tr></thead><tbody>\n";
    for (const SqlRow& row : rows) {
      const std::string name = Col(row, 0).substr(Col(row, 0).empty() ? 0 : 1);
      const std::string link = base + UrlEncode("//" + name);
      o += "<tr nowrap><td nowrap><a href='" + link +
           "&t=b' target=b onclick=' parent.frames[\"c\"].location.href=\"" + link +
           "&t=c\"; '><p class=ptab1>" + HtmlEscape(name) + "</p></a></td><td class=rrr nowrap>" +
           BrowseDate(Col(row, 2)) + "</td></tr>\n";
    }
  } else if (frame == 'b') {
    o += "<table id=table3b class='sortable' data-sort='3' width='100%' "
         "style='behavior:url(/kiv/sort3.htc)' cellspacing=0><thead><tr><td><p "
         "class='tit'>name</p></td></tr></thead><tbody>\n";
    if (!path.computer.empty()) {
      o += "<tr nowrap><td nowrap><a target=b href='javascript:void(0)' "
           "onclick='parent.frames[\"b\"].location.href=\"" +
           base + "&t=b\"; parent.frames[\"c\"].location.href=\"" + base +
           "&t=c\";'><p class='ptab1'>..</p></a></td></tr>\n";
      for (const SqlRow& row : rows) {
        const std::string share = Col(row, 0).substr(Col(row, 0).empty() ? 0 : 1);
        o += "<tr nowrap><td nowrap><a target=c href=\"" + base +
             UrlEncode(path.computer + "/" + share) + "&t=c\"><p class=ptab>" + HtmlEscape(share) +
             "</p></a></td></tr>\n";
      }
    }
  } else {
    o += "<table id=table3c class='sortable' data-sort='2' width='100%' "
         "style='behavior:url(/kiv/sort2.htc)' cellspacing=0><thead><tr><td><p "
         "class='tit'>file</p></td><td><p class='tit'>size</p></td></tr></thead><tbody>\n";
    if (!path.share.empty()) {
      std::string here = path.computer + "/" + path.share;
      if (!path.folder.empty()) {
        here += "/" + path.folder;
        const size_t cut = here.rfind('/');
        o += "<tr nowrap><td nowrap><a target=c href=\"" + base + UrlEncode(here.substr(0, cut)) +
             "&t=c\"><p class='ptab'>..</p></a></td><td class=rrr nowrap>&lt;dir&gt;</td></tr>\n";
      }
      for (const SqlRow& row : rows) {
        const std::string& kind_name = Col(row, 0);
        if (kind_name.empty()) continue;
        const std::string name = kind_name.substr(1);
        if (kind_name[0] == 'a') {
          o += "<tr nowrap><td nowrap><a target=c href=\"" + base + UrlEncode(here + "/" + name) +
               "&t=c\"><p class='ptab'>" + HtmlEscape(name) +
               "</p></a></td><td class=rrr nowrap>&lt;dir&gt;</td></tr>\n";
        } else {
          const std::string& kb = Col(row, 1);
          const std::string size = kind_name[0] == 'b' && IsDigits(kb) ? FormatSizeKb(kb) : "0Kb";
          o += "<tr nowrap><td nowrap><p class='ptab'>" + HtmlEscape(name) +
               "</p></td><td class=rrr nowrap>" + size + "</td></tr>\n";
        }
      }
    }
  }
  return o;
}

std::string BrowseFrameTrailer(const std::string& query_time, const std::string& trail) {
  return "</tbody></table></div>" + OuterScript("timpul", "innerText", JsEscape(query_time)) +
         OuterScript("cale", "innerHTML", JsEscape(trail)) +
         "<script language='javascript' src='/kiv/sorttable.js'></script>";
}

void BrowsePage(Page& page, const std::string& t, const std::string& path) {
  const std::string addr = PadLeft(page.remote_addr, 16);
  if (t != "a" && t != "b" && t != "c") {
    page.Append(BrowseOuterPage(page.script_name, path));
    page.reports.Short(addr + " browse [*]: ");
    return;
  }
  const char frame = t[0];
  const BrowsePath parsed = ParseBrowsePath(path);
  SqlRows rows;
  const bool needed = frame == 'a' || (frame == 'b' && !parsed.computer.empty()) ||
                      (frame == 'c' && !parsed.share.empty());
  const std::time_t start = page.clock.Now();
  if (needed) {
    SqlResult result = page.sql.Run(SpDirStatement(frame, parsed), 3, SqlCaller::kQueryRowReader);
    if (result.error) {
      page.reports.Detail("unexpected error: " + result.description + " src:" + result.source);
      page.Append(FatalBlock(result.description, result.source, page.site.admin_contact));
      return;
    }
    rows = std::move(result.rows);
  }
  const long long seconds = static_cast<long long>(page.clock.Now() - start);
  const std::string query_time =
      ZeroPadded(seconds / 60 % 100, 2) + ":" + ZeroPadded(seconds % 60, 2);
  std::string text = BrowseFrameRows(frame, parsed, rows, page.script_name);
  const std::string trail = LocationTrail(page.script_name, parsed.computer.empty() ? "" : path);
  text += BrowseFrameTrailer(query_time, trail);
  page.Append(text);
  page.reports.Short(addr + " browse [" + std::string(1, frame) + " - " + LogSafe(path) +
                     "]: " + query_time);
}

}  // namespace tellwen::query
