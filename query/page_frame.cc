// The page frame of CQueryServer: BeginPage (header, head, access gates,
// body tag, style sheet, logo bar, refusal) and EndPage (closing scripts,
// the one write of the page buffer).
#include "query/access.h"
#include "query/escape.h"
#include "query/home_page.h"
#include "query/page_scripts.h"
#include "query/query_server.h"

namespace tellwen::query {

namespace {

constexpr const char* kHeadStart =
    "<html><head>"
    "<meta http-equiv=\"Pragma\" content=\"no-cache\">"
    "<meta http-equiv=\"Expires\" content=\"-1\">"
    "<meta http-equiv=\"Cache-control\" content=\"no-cache\">"
    "<meta name=\"description\" content=\"KIV - Search local network for files.\">"
    "<meta name=\"keywords\" content=\"search, files, shares, network, lan, smb\">"
    "<link rel=\"shortcut icon\" href=\"/kiv/kiv.ico\">\n";

constexpr const char* kCommonStyle =
    "<style>\n"
    "A { color:#224499; }\n"
    "A:hover { color:rgb(250, 20, 50); text-decoration:underline; }\n"
    "p.stattext { margin:0pt; font-family:Verdana, sans-serif; font-size:x-small; }\n"
    "img.fi { cursor:pointer; border-width:0px; }\n"
    "tr.ab { background-color:#edf3f9; }\n"
    "tr.ab:nth-child(even) { background-color:#e9f2fd; }\n"
    "td.ac { text-align:center; }\n"
    "p.ad { margin:0pt; margin-right:5px; text-align:right; }\n"
    "td.ae { text-align:right; }\n"
    "</style>\n";

constexpr const char* kFrameStyle =
    "<style>\n"
    "BODY { scrollbar-face-color:#e5eaf1; scrollbar-arrow-color:#224499; }\n"
    "DIV.IFR { border:1px solid #a0a0a0; overflow:auto; }\n"
    "p.tit { margin:0pt; font-family:Verdana, sans-serif; font-size:small; font-weight:bold; }\n"
    "td.rrr { text-align:right; }\n"
    "p.ptab { margin:0pt; font-family:Verdana, sans-serif; font-size:x-small; }\n"
    "p.gtitlu { margin:0pt; font-family:Verdana, sans-serif; font-size:small; "
    "font-weight:bold; }\n"
    "p.goptiunea { margin:0pt; font-family:Verdana, sans-serif; font-size:x-small; }\n"
    "p.gtime { margin:0pt; font-family:Verdana, sans-serif; font-size:xx-small; }\n"
    "a.indreapta { text-decoration:none; }\n"
    "b.indreaptadeforma { font-weight:normal; }\n"
    "</style>\n";

}  // namespace

void CQueryServer::BeginPage(Page& page, const PageFrame& frame) {
  // The header names the type and the encoding of the page: network names
  // arrive as UTF-8, and a browser must not guess either.
  page.ctx->SendResponseHeader("200 OK", "Content-Type: text/html; charset=utf-8\r\n");

  const bool home = frame.kind == PageKind::kHome;
  const bool stats = frame.kind == PageKind::kStatistics;
  const bool browse = frame.kind == PageKind::kBrowse;
  const bool closed = page.access.closed;
  const bool restricted = page.access.restricted;
  if (restricted) {
    page.reports.Detail("restricted");
    page.ReportServerVariables();
  }
  const bool refused = page.access.refused();
  const std::string web_status = closed ? page.site.access.web_status : "yes";
  const bool updating = closed && !restricted && web_status == "updating";

  std::string head = kHeadStart;
  head += "<title>Tellwen";
  if (!frame.title.empty()) head += " - " + frame.title;
  head += "</title>\n";
  if (!refused) head += PageScripts(page.script_name, home);
  if (updating) head += CountdownScript();
  head += "</head><body style='margin:5px' ";
  if (home && !refused) {
    head +=
        "onload=\"LoadSettings();  toggleSize(); checkstuff(); "
        "var kivf = document.getElementById('kivform'); if (kivf) { kivf.search.focus(); "
        "kivf.search.select(); }\" ";
  } else if (updating) {
    head += "onload=\"setInterval('clock()', 1000);\" ";
  }
  head += std::string("background='") + (frame.in_frame ? "/kiv/backsmall.gif" : "/kiv/back.gif") +
          "' bgcolor=white text=black>\n";
  head += kCommonStyle;
  if (stats || browse) head += kFrameStyle;
  if (frame.in_frame) {
    page.Write(head);
    return;
  }

  const bool large = home || refused;
  head += std::string("<table width=100% cellpadding=0 cellspacing=0 style=\"margin-top:") +
          (large ? "8px; margin-bottom:10px;" : "7px; margin-bottom:15px;") +
          "\"><tr><td valign=top><a href='" + HtmlAttrEscape(page.script_name) +
          "?Command?'><img src='" + (large ? "/kiv/logo.gif" : "/kiv/logosmall.gif") +
          "' border=0 alt='Tellwen'></a></td><td align=right valign=top>";
  if (refused) {
    head += "&nbsp;";
  } else {
    head += NavLinks(page.script_name, stats, browse, frame.home_link, home,
                     frame.kind == PageKind::kFaq, page.site.data_of_index);
  }
  head += "</td></tr></table>\n";

  if (refused) {
    RefusalReport report;
    head += RefusalBlock(restricted, web_status, page.remote_addr, page.site.admin_contact,
                         SqlNow(page.clock), &report);
    if (updating) {
      head +=
          "<center><p style=\"font-family:Courier New, monospace; font-size:small;\">automatic "
          "page refresh in <b id=ceasu>05:00</b> minutes</p></center>";
    }
    page.reports.Short(report.short_line);
    if (!report.statement.empty() && page.site.log_statistics) {
      page.WriteLog(report.statement);
    }
  }
  page.Write(head);
}

void CQueryServer::EndPage(Page& page, bool home, int nav_count, const std::string& title) {
  page.Append("</body>");
  if (!home) page.Append(RevealScript(nav_count));
  if (!title.empty()) page.Append(TitleScript(title));
  page.Append("</html>");
  page.ctx->WriteClient(buffers_.Take(page.ctx->ConnId()));
  page.buffer = nullptr;
}

}  // namespace tellwen::query
