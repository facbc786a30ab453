#include "query/results.h"

#include <algorithm>

#include "query/escape.h"
#include "query/home_page.h"
#include "query/search.h"
#include "query/site_blocks.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

bool Blank(const std::string& value) { return value.empty() || value == " "; }

// "n,n,n,n,n,n" as the clock script's arguments; anything else reads as
// never pinged, so a stored value can never add script to the page.
std::string PingTimeArgs(const std::string& value) {
  const std::vector<std::string> parts = SplitText(value, ',');
  if (parts.size() != 6) return "0,0,0,0,0,0";
  std::string args;
  for (const std::string& part : parts) {
    const std::string number = TrimChar(part, ' ');
    if (!IsDigits(number) || number.size() > 6) return "0,0,0,0,0,0";
    if (!args.empty()) args += ",";
    args += number;
  }
  return args;
}

std::string PagingLabel(bool enabled, const char* title, const char* text) {
  std::string label =
      "<p style=\"margin:0pt; font-family:Courier New, monospace; font-weight:bold; "
      "font-size:small; ";
  label += enabled ? "color:black;\" " : "color:#b0b0b0;\" ";
  if (enabled) label += std::string("title=\"") + title + "\" ";
  label += std::string(">") + text + "</p>";
  return label;
}

std::string PageLink(const std::string& script_name, const std::string& search,
                     const std::string& extra, long long from, long long to) {
  const std::string url = script_name + "?Command?search=" + UrlEncode(search) +
                          "&recordfrom=" + std::to_string(from) +
                          "&recordto=" + std::to_string(to) + "&dowait=1" + extra;
  return "<a href=\"" + HtmlAttrEscape(url) + "\">";
}

}  // namespace

std::string WaitBlock() {
  return "<TABLE ID=tdDisp width=100% align=center border=0 style=\"margin-top:40pt;\">\n"
         "<TR>\n"
         "<TD width=100% height=100% align=center valign=middle>\n"
         "<p style=\"color:darkblue; font-family:Courier New, monospace; font-weight:bold; "
         "font-size:large;\">Please wait...\n"
         "</p>\n"
         "<img src=\"/kiv/waiting.gif\" alt=\"please wait...\"/>"
         "</TD>\n"
         "</TR>\n"
         "</TABLE>\n";
}

std::string QueryTimeLine(const std::string& query_time) {
  return "<table id=table2 style=\"display:none\"width=100%><tr><td "
         "style=\"text-align:right;\"><p style=\"font-size:xx-small; "
         "margin-bottom:3pt;margin-top:3pt;\">query time: " +
         query_time + "</p></td></tr></table>";
}

std::string ScopeText(bool shares, bool dirs, bool files, const std::string& files_label) {
  if (shares && dirs && files) return "shares, directories and files";
  if (shares && dirs) return "shares and directories";
  if (shares && files) return "shares and files";
  if (dirs && files) return "directories and files";
  if (shares) return "shares";
  if (dirs) return "directories";
  if (files) return HtmlEscape(files_label);
  return "nothing";
}

std::string HeaderLine(const std::string& search, const std::string& scope, long long from,
                       long long result_count) {
  std::string text =
      "<table id=table1 style=\"display:none\" width=100% cellpadding=0 cellspacing=0><tr><td "
      "nowrap><p style=\"margin:0pt; font-family:Verdana, sans-serif; font-size:small;\">"
      "searching for <b style=\"color:#224499;\">" +
      HtmlEscape(search) + "</b><b style=\"color:black;font-weight:normal;\"> inside " + scope +
      "&nbsp;</b></p></td><td align=right nowrap><p style=\"margin:0pt; font-family:Verdana, "
      "sans-serif; font-size:small;\">";
  if (result_count > 0) {
    text += "displaying results <b>" + std::to_string(from + 1) + "</b> to <b>" +
            std::to_string(from + result_count);
  } else {
    text += "no more results";
  }
  text += "</b></p></td></tr></table>";
  return text;
}

std::string ExtraParameters(const CommandParams& p) {
  const std::pair<const char*, const std::string*> fields[] = {
      {"shares", &p.shares},
      {"dirs", &p.dirs},
      {"files", &p.files},
      {"sizebetween", &p.sizebetween},
      {"fromcategory", &p.fromcategory},
      {"sizemin", &p.sizemin},
      {"sizeminunit", &p.sizeminunit},
      {"sizemax", &p.sizemax},
      {"sizemaxunit", &p.sizemaxunit},
      {"pagesize", &p.pagesize},
      {"src", &p.src},
      {"stats", &p.stats},
      {"path", &p.path},
      {"t", &p.t},
      {"searchkind", &p.searchkind},
      {"searchcategory", &p.searchcategory},
      {"suggestions_name", &p.suggestions_name},
      {"suggestions_subject", &p.suggestions_subject},
      {"suggestions_message", &p.suggestions_message},
      {"page", &p.page},
      {"automaticping", &p.automaticping},
      {"alives", &p.alives},
  };
  std::string text;
  for (const auto& [name, value] : fields) {
    if (*value != kDefault) text += std::string("&") + name + "=" + UrlEncode(*value);
  }
  return text;
}

PagingState Paging(long long a, long long b, long long c, long long d) {
  PagingState state;
  state.previous_enabled = a >= 1 && !((a <= 0 && b <= 0) || b < a);
  state.previous_from = std::max(a - d, 0LL);
  state.previous_to = a - 1;
  state.next_enabled = (a > 0 || b > 0) && b >= a && c == d;
  state.next_from = b + 1;
  state.next_to = b + d;
  return state;
}

std::string PagingBar(const std::string& script_name, const std::string& search,
                      const std::string& extra, long long a, long long b, long long c, long long d,
                      int* nav_count) {
  *nav_count += 1;
  const PagingState state = Paging(a, b, c, d);
  std::string text = "<table cellpadding=0 cellspacing=0 id=tablenav" + std::to_string(*nav_count) +
                     " style=\"display:none\" width=100% "
                     "style=\"margin-top:5pt;margin-bottom:5pt;\"><tr>";
  // The label of a step, inside a link to its page when the step is enabled.
  auto step = [&](bool enabled, long long from, long long to, const char* hint,
                  const char* arrows) {
    std::string cell;
    if (enabled) cell += PageLink(script_name, search, extra, from, to);
    cell += PagingLabel(enabled, hint, arrows);
    if (enabled) cell += "</a>";
    return cell;
  };
  text += "<td width=35% style=\"text-align:left\">";
  text += step(state.previous_enabled, state.previous_from, state.previous_to, "previous page",
               "[ &lt&lt ]");
  text += "</td><td width=30% style=\"text-align:center\">";
  text += "<table align=center><tr><td>";
  text += HomeLink(script_name, false);
  text += "</td></tr></table>";
  text += "</td><td width=35% style=\"text-align:right\">";
  text += step(state.next_enabled, state.next_from, state.next_to, "next page", "[ &gt&gt ]");
  text += "</td></tr></table>";
  return text;
}

std::string ResultsTableStart(bool download) {
  std::string text =
      "<table id=table3 style=\"display:none\"cellspacing=1 bgcolor=#E1E9D1 align=center "
      "width=100% style=\"border-width:1pt; border-style:solid; margin-top:10pt; "
      "font-family:Verdana, sans-serif; font-size:10pt;\" class='sortable'>"
      "<thead><tr align=left bgcolor=#e5eaf1><td width=1%>&nbsp;ping!&nbsp;</td>"
      "<td>Computer&nbsp;</td><td>Directory&nbsp;</td><td>File&nbsp;Name&nbsp;</td><td "
      "align=right><p style='margin-right:5px;'>&nbsp;Size</p></td>";
  if (download) {
    text +=
        "<td width=1 align=right style='margin:0px;'><p style='margin:0px; "
        "letter-spacing:-1px;'>dload</p></td>";
  }
  text += "</tr></thead><tbody>";
  return text;
}

std::string ResultsTableEnd() {
  return "</tbody></table><script language='javascript' src='/kiv/sorttable.js'></script>";
}

void AppendResultRow(const std::vector<std::string>& row, bool automatic_ping, bool download,
                     const std::string& script_name, std::string* out) {
  // Written straight into *out, piece by piece: a page renders hundreds of
  // rows, and each temporary string costs an allocation and a copy.
  static const std::string kEmpty;
  auto col = [&](size_t i) -> const std::string& { return i < row.size() ? row[i] : kEmpty; };
  std::string path;
  path.reserve(col(0).size() + col(1).size() + col(2).size() + col(3).size() + col(4).size() + 5);
  path += col(0);
  path += '/';
  path += col(1);
  for (size_t i = 2; i <= 4; ++i) {
    if (!Blank(col(i))) {
      path += '/';
      path += col(i);
    }
  }
  const bool file_row = !Blank(col(4));
  if (!file_row) path += '/';
  std::string_view target = col(0);
  if (target.size() >= 3 && target.compare(0, 2, "//") == 0) target.remove_prefix(2);

  const std::string& status = col(8);
  const bool known = automatic_ping && (status == "1" || status == "2");
  const char* icon = PingIcon(known ? status : "");
  const bool status_ok = IsDigits(status) && status.size() < 6;
  const std::string target_js = JsEscape(target);

  std::string& o = *out;
  o += "<tr class=ab><td class=ac><img height=15 onmouseover=\"this.title=getRelTime(";
  o += known ? '1' : '0';
  o += ", ";
  o += PingTimeArgs(col(9));
  o += ", '";
  o += target_js;
  o += "', ";
  o += status_ok ? std::string_view(status) : std::string_view("0");
  o += ")\" class=fi onclick=\"ping(this, '";
  o += target_js;
  o += "')\" src='";
  o += icon;
  o += "'/></td>";

  // The path is cut after each "/" (the leading "//" belongs to the first
  // piece); each piece links to the path up to its end, written with "\".
  std::vector<size_t> ends;
  {
    size_t pos = path.compare(0, 2, "//") == 0 ? 2 : 0;
    while (pos < path.size()) {
      const size_t slash = path.find('/', pos);
      pos = slash == std::string::npos ? path.size() : slash + 1;
      ends.push_back(pos);
    }
  }
  std::string href;  // the link of the pieces so far, escaped
  std::string piece_target;
  auto link = [&](size_t i, std::string_view text, Escaping text_escaping, bool with_title) {
    const size_t begin = i == 0 ? 0 : ends[i - 1];
    piece_target.assign(path, begin, ends[i] - begin);
    std::replace(piece_target.begin(), piece_target.end(), '/', '\\');
    AppendEscaped(Escape(piece_target, Escaping::kUrlPath), Escaping::kHtmlAttribute, &href);
    o += "<a href=\"";
    o += href;
    o += '"';
    if (with_title) {
      o += " title=\"scan time: ";
      AppendEscaped(col(6), Escaping::kHtmlAttribute, &o);
      o += '"';
    }
    o += '>';
    AppendEscaped(text, text_escaping, &o);
    o += "</a>";
  };
  auto piece = [&](size_t i) {
    const size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(path).substr(begin, ends[i] - begin);
  };
  o += "<td>";
  if (!ends.empty()) {
    std::string_view computer = piece(0);
    while (!computer.empty() && computer.front() == '/') computer.remove_prefix(1);
    while (!computer.empty() && computer.back() == '/') computer.remove_suffix(1);
    link(0, computer, Escaping::kHtmlTextNbsp, true);
    o += "&nbsp;";
  }
  o += "</td><td>";
  const size_t folder_end = file_row && ends.size() > 1 ? ends.size() - 1 : ends.size();
  for (size_t i = 1; i < folder_end; ++i) {
    std::string_view text = piece(i);
    const bool last = i + 1 == folder_end;
    if (last && !text.empty() && text.back() == '/') text.remove_suffix(1);
    link(i, text, Escaping::kHtmlText, false);
    if (last) o += "&nbsp;";
  }
  if (file_row && ends.size() > 1) {
    o += "</td><td>";
    link(ends.size() - 1, piece(ends.size() - 1), Escaping::kHtmlText, false);
    o += "&nbsp;</td>";
  } else {
    o += "</td><td></td>";
  }
  o += "<td nowrap class=ae><p class=ad>";
  if (file_row) {
    o += IsDigits(col(5)) ? FormatSizeKb(col(5)) : "&nbsp;";
  } else {
    o += (!Blank(col(2)) || !Blank(col(3))) ? "&nbsp;directory" : "&nbsp;share";
  }
  o += "</p></td>";
  if (download) {
    if (file_row && IsDigits(col(7))) {
      o += "<td align=center><a href='";
      AppendEscaped(script_name, Escaping::kHtmlAttribute, &o);
      o += "?Command?proxy=";
      o += col(7);
      o += "'><img style='border-width:0px; width:12px' alt='click here to download this "
           "file' src='/kiv/dload.gif'></a></td>";
    } else {
      o += "<td align=center><img style='border-width:0px; width:12px' "
           "src='/kiv/dloadna.gif'></td>";
    }
  }
  o += "</tr>\n";
}

std::string NoRecordsBox() {
  return "<table cellspacing=0 cellpadding=0 width=100% style='margin-top:40pt; "
         "margin-bottom:20pt;'><tr><td align=center><p style=\"font-family:Verdana, "
         "sans-serif; font-size:small; color:#cc2266; background-color:#f0f0f0; border:1px "
         "solid #a0a0a0; padding:4pt; width:200pt;\">no records found</p></td></tr></table>";
}

std::string InvalidStringBlock(const std::string& script_name) {
  return "<p style=\"margin-top:20pt; margin-bottom:0pt; margin-left:20pt;color:darkblue; "
         "font-family:Courier New, monospace; font-weight:bold; font-size:small;\">You have "
         "entered an <b style=\"color:red;\">invalid string</b>:</p>\n"
         "<p style=\"margin-top:5pt; margin-left:20pt; font-family:Courier New, monospace; "
         "font-size:small;\">You may use only " +
         HtmlEscape(kAllowedCharsMessage) + "</p>\n" + HomeLink(script_name, true, 20);
}

}  // namespace tellwen::query
