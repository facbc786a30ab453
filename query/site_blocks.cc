#include "query/site_blocks.h"

#include "query/escape.h"

namespace tellwen::query {

std::string FatalBlock(const std::string& description, const std::string& source,
                       const std::string& admin_contact) {
  return "<p style=\"font-family:Courier New, monospace; font-weight:bold; margin-left:20pt;\">"
         "KIVQuery fatal ERROR<br>type: <span style=\"color:red;\">\"" +
         HtmlEscape(description) + "\"</span><br>source: <span style=\"color:red;\">\"" +
         HtmlEscape(source) + "\"</span><br>Please contact your <a href=\"" +
         HtmlAttrEscape(admin_contact) + "\"><b>KIV</b> administrator</a>.</p>";
}

const char* PingIcon(const std::string& status) {
  if (status == "1") return "/kiv/pingyes.gif";
  if (status == "2") return "/kiv/pingno.gif";
  return "/kiv/pingfinger.gif";
}

std::string PingCell(const std::string& name, const std::string& status,
                     const std::string& ping_time) {
  (void)ping_time;
  return "<img height=15 class=fi title=\"click to ping\" onclick=\"ping(this, '" + JsEscape(name) +
         "')\" src='" + PingIcon(status) + "'/>";
}

}  // namespace tellwen::query
