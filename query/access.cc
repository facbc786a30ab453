#include "query/access.h"

#include <ctime>

#include "common/list_value.h"
#include "query/search.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

bool InList(const std::string& list, const std::string& address) {
  for (const std::string& entry : SplitListValue(list)) {
    if (entry == address) return true;
  }
  return false;
}

}  // namespace

bool IsRestricted(const std::string& remote_addr, CKIVRegistry& settings) {
  if (settings.GetBoolValue("SecurityAllowAllIPs")) {
    return InList(settings.GetValue("WebBanList"), remote_addr);
  }
  return !InList(settings.GetValue("WebGrantList"), remote_addr);
}

bool IsServiceClosed(CKIVRegistry& settings) { return settings.GetValue("WebStatus") != "yes"; }

int NextVisitorNumber(int stored) {
  long long value = stored;
  if (value < 0 || value > 9999999) value = 0;
  value += 1;
  if (value < 0 || value > 9999999) value = 0;
  return static_cast<int>(value);
}

std::string SqlNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

std::string RefusalBlock(bool restricted, const std::string& web_status,
                         const std::string& remote_addr, const std::string& admin_contact,
                         RefusalReport* report) {
  static const char* const kBig =
      "<p style=\"color:red; font-family:Courier New, monospace; font-weight:bold; "
      "font-size:x-large; margin-top:30pt;\">";
  static const char* const kSmall =
      "<p style=\"color:red; font-family:Courier New, monospace; font-weight:bold; "
      "font-size:medium;\">";
  std::string text = "<center>";
  if (restricted) {
    text += std::string(kBig) + "Access is FORBIDDEN from your address.";
    report->short_line = remote_addr + " restricted";
  } else if (web_status == "updating") {
    text += std::string(kBig) + "Service is UPDATING...</p>" + kSmall + "Please try again later.";
    report->short_line = remote_addr + " updating";
    report->statement = "insert stat_access_failure values ('" + SqlNow() + "', '" +
                        SqlQuoted(remote_addr) + "', 1)";
  } else {
    text += std::string(kBig) + "Service is temporary DOWN.";
    report->short_line = remote_addr + " down";
    report->statement = "insert stat_access_failure values ('" + SqlNow() + "', '" +
                        SqlQuoted(remote_addr) + "', 2)";
  }
  text +=
      "</p><p style=\"color:darkblue; font-family:Courier New, monospace; font-weight:bold; "
      "font-size:small;\">Sorry for inconvenience.</p>";
  if (restricted) {
    text +=
        "<p style=\"font-family:Courier New, monospace; font-size:small;\">"
        "If you feel that was a mistake please contact your <a href=\"" +
        HtmlAttrEscape(admin_contact) + "\"><b>KIV</b> administrator</a>.</p>";
  }
  text += "</center>";
  return text;
}

}  // namespace tellwen::query
