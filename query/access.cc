#include "query/access.h"

#include "base/list_value.h"
#include "base/time_text.h"
#include "common/sql_text.h"
#include "query/escape.h"

namespace tellwen::query {

namespace {

bool InList(const std::string& list, const std::string& address) {
  for (const std::string& entry : SplitListValue(list)) {
    if (entry == address) return true;
  }
  return false;
}

}  // namespace

bool IsRestricted(const std::string& remote_addr, const AccessSettings& access) {
  if (access.allow_all_ips) return InList(access.ban_list, remote_addr);
  return !InList(access.grant_list, remote_addr);
}

bool IsServiceClosed(const AccessSettings& access) { return access.web_status != "yes"; }

AccessVerdict CheckAccess(const std::string& remote_addr, const AccessSettings& access) {
  AccessVerdict verdict;
  verdict.restricted = IsRestricted(remote_addr, access);
  verdict.closed = IsServiceClosed(access);
  return verdict;
}

int NextVisitorNumber(int stored) {
  long long value = stored;
  if (value < 0 || value > 9999999) value = 0;
  value += 1;
  if (value < 0 || value > 9999999) value = 0;
  return static_cast<int>(value);
}

std::string SqlNow(Clock& clock) { return FormatTime(clock.LocalNow(), kSqlTimeFormat); }

std::string RefusalBlock(bool restricted, const std::string& web_status,
                         const std::string& remote_addr, const std::string& admin_contact,
                         const std::string& now, RefusalReport* report) {
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
    report->statement =
        "insert stat_access_failure values ('" + now + "', '" + SqlQuoted(remote_addr) + "', 1)";
  } else {
    text += std::string(kBig) + "Service is temporary DOWN.";
    report->short_line = remote_addr + " down";
    report->statement =
        "insert stat_access_failure values ('" + now + "', '" + SqlQuoted(remote_addr) + "', 2)";
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
