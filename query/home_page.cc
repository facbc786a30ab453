#include "query/home_page.h"

#include "query/escape.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

constexpr const char* kLinkStyle =
    "style=\"margin:0pt; font-family:Courier New, monospace; font-size:x-small;\"";

std::string NavEntry(const std::string& href, const std::string& text, bool disabled) {
  if (disabled) {
    return "<a disabled style=\"text-decoration:none; color:#808080;\">" + text + "</a><br>";
  }
  return "<a href=\"" + HtmlAttrEscape(href) + "\">" + text + "</a><br>";
}

}  // namespace

std::string HomeLink(const std::string& script_name, bool go_frame, int margin_pt) {
  const std::string link =
      "<a href='" + HtmlAttrEscape(script_name) +
      "?Command?'><p title=\"Jump to main page\" style=\"margin:0pt; font-family:Courier New, "
      "monospace; font-weight:bold; font-size:small;\">Home</p></a>";
  if (!go_frame) return link;
  return "<table style=\"margin-left:" + std::to_string(margin_pt) +
         "pt;\"><tr><td><p style=\"margin:0pt; font-family:Courier New, monospace; "
         "font-size:small;\">Go</p></td><td>" +
         link + "</td></tr></table>";
}

std::string NavLinks(const std::string& script_name, bool stats, bool browse, bool not_home,
                     bool home, bool faq, const std::string& data_of_index) {
  const std::string base = script_name + "?Command?";
  std::string text = std::string("<p ") + kLinkStyle + ">";
  const bool special = stats || browse || faq;
  if (home && !special) text += HtmlEscape(data_of_index) + " <br>";
  if (not_home || special) text += NavEntry(base, "&lt;&lt;&nbsp;home", false);
  text += NavEntry(base + "page=faq", "faq", special && faq);
  text += NavEntry(base + "stats=yes", "statistics", special && stats);
  text += NavEntry(base + "stats=browse", "browse", special && browse);
  text += "</p>";
  return text;
}

std::string BannerAndCounter(const std::string& info, const std::string& severity,
                             int visitor_number) {
  const char* colour = severity == "high"     ? "#ee1122"
                       : severity == "medium" ? "#117733"
                                              : "#445077";
  std::string text = "<table width=100%><tr><td width=90% nowrap>";
  if (!info.empty() && info != "N/A") {
    // The banner is the administrator's own text and may hold markup.
    text += std::string(
                "<p align=center style=\"border-top:1px solid #a0a0a0; "
                "border-bottom:1px solid #a0a0a0; background-color:white; margin:2pt; "
                "font-family:Verdana, sans-serif; font-size:small; color:") +
            colour + ";\">&nbsp;&nbsp;&nbsp;" + info + "&nbsp;&nbsp;&nbsp;</p>";
  }
  text +=
      "</td><td width=10% nowrap align=right><p title='number of visitors' style=\"margin:0pt; "
      "font-family:Courier New, monospace; font-size:x-small; color:#808080;\">" +
      ZeroPadded(visitor_number, 7) + "</p></td></tr></table>";
  return text;
}

std::string SearchForm(const std::string& script_name, const std::string& categories) {
  std::string options;
  const std::vector<std::string> pieces = SplitText(categories, '|');
  for (size_t n = 1; n < pieces.size(); ++n) {
    const std::vector<std::string> parts = SplitText(pieces[n], '/');
    if (parts.size() == 2) options += "<option>" + HtmlEscape(parts[0]) + "</option>\n";
  }
  const std::string cell = "<td><p class=stattext>";
  std::string t;
  t += "\n<form id=kivform name=kivform action='" + HtmlAttrEscape(script_name) +
       "?Command' method=post onsubmit=\"return checkSearch();\">";
  t += "<center><table cellpadding=2 cellspacing=0 style=\"margin-top:10pt;\">";
  t += "<tr><td colspan=2 nowrap><input type=text name=search size=50 maxlength=100 "
       "title=\"enter here your search string\" style=\"font-size:small;\">&nbsp;"
       "<select name=searchkind style=\"font-size:small;\"><option>any word</option>"
       "<option selected>all words</option><option>exact</option></select>&nbsp;"
       "<input type=submit value='search' title=\"click here to begin search\" "
       "onclick=\"return checkSearch();\" style=\"font-size:small;\">"
       "<input type=hidden name=recordfrom value='0'><input type=hidden name=recordto "
       "value='199'><input type=hidden name=dowait value='1'><input type=hidden name=src "
       "value='main'></td></tr>\n";
  t += "<tr>" + cell +
       "look&nbsp;into&nbsp;"
       "<input type=checkbox name=shares onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;enable/disable&nbsp;search&nbsp;into&nbsp;shares>"
       "shares "
       "<input type=checkbox name=dirs checked onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;enable/disable&nbsp;search&nbsp;into&nbsp;directories>"
       "directories "
       "<input type=checkbox name=files checked onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;enable/disable&nbsp;search&nbsp;into&nbsp;files>"
       "files</p></td></tr>\n";
  t += "<tr id=cat>" + cell +
       "<input type=checkbox name=fromcategory onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;turn&nbsp;on/off&nbsp;search&nbsp;into&nbsp;files&nbsp;"
       "from&nbsp;a&nbsp;specified&nbsp;category>files from category&nbsp;"
       "<select name=searchcategory style=\"font-size:x-small;\">\n" +
       options + "</select></p></td></tr>\n";
  if (options.empty()) {
    t += "<script language='javascript'>if (document.all && document.all.cat) "
         "document.all.cat.style.display='none'; else "
         "document.getElementById('cat').style.display='none';</script>";
  }
  t += "<tr>" + cell +
       "<input type=checkbox name=sizebetween onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;turn&nbsp;on/off&nbsp;search&nbsp;into&nbsp;files&nbsp;"
       "with&nbsp;a&nbsp;specified&nbsp;size>with size between&nbsp;"
       "<input type=text name=sizemin value='0' size=5 disabled "
       "title=minimum&nbsp;file&nbsp;size style=\"font-size:x-small;\">"
       "<select name=sizeminunit disabled style=\"font-size:x-small;\"><option>K</option>"
       "<option selected>M</option></select> and "
       "<input type=text name=sizemax value='max' size=5 disabled "
       "title=maximum&nbsp;file&nbsp;size style=\"font-size:x-small;\">"
       "<select name=sizemaxunit disabled style=\"font-size:x-small;\"><option>K</option>"
       "<option selected>M</option></select></p></td></tr>\n";
  t += "<tr>" + cell +
       "<input type=checkbox name=automaticping onclick=\"checkstuff();\" "
       "title=click&nbsp;here&nbsp;to&nbsp;enable/disable&nbsp;automatic&nbsp;ping>"
       "use&nbsp;automatic&nbsp;ping "
       "<input type=checkbox name=alives disabled "
       "title=check&nbsp;this&nbsp;to&nbsp;display&nbsp;only&nbsp;active&nbsp;computers>"
       "display&nbsp;only&nbsp;active&nbsp;computers</p></td></tr>\n";
  t += "<tr>" + cell +
       "results&nbsp;per&nbsp;page&nbsp;<select name=pagesize style=\"font-size:x-small;\">"
       "<option>25</option><option>100</option><option selected>200</option>"
       "<option>500</option><option>1000</option><option>2000</option></select>"
       "&nbsp;&nbsp;<u id=savesettings style=\"cursor:pointer;\" "
       "title=\"click here to save current settings\" onclick=\"SaveSettings();\">save "
       "settings</u></p></td></tr>\n";
  t += "</table></center></form>";
  return t;
}

}  // namespace tellwen::query
