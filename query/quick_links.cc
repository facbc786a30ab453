#include "query/quick_links.h"

#include "common/sql_text.h"
#include "query/escape.h"
#include "query/text_utils.h"

namespace tellwen::query {

std::string QuickLinksStatement(const std::string& search) {
  const std::vector<std::string> words = SplitText(TrimChar(search, ' '), ' ');
  if (words.empty()) return std::string();
  std::string text =
      "select distinct isnull(link,'') as link, isnull(display,'') as display from quick_links "
      "where word in (";
  for (const std::string& word : words) text += "'" + SqlQuoted(word) + "',";
  text += "'') order by display, link";
  return text;
}

std::string QuickLinksBlock(const SqlRows& rows) {
  if (rows.empty()) return std::string();
  std::string text =
      "<style>a.ql { margin-left:40px; text-decoration:underline; }</style>"
      "<table id=quicklinks style=\"display:none\" cellpadding=0 cellspacing=0 "
      "style=\"margin-top:5pt;\"><tr><td><p style=\"margin:0pt; font-family:Verdana, "
      "sans-serif; font-size:small; font-weight:bold;\">Quick links:</p></td></tr>\n";
  for (const SqlRow& row : rows) {
    if (row.size() < 2) continue;
    text += "<tr><td><a class='ql' href='" + HtmlAttrEscape(row[0]) + "'>" + HtmlEscape(row[1]) +
            "</a></td></tr>\n";
  }
  text += "</table>\n";
  return text;
}

}  // namespace tellwen::query
