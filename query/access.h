// The two gates of every framed page (may this address use the site, is the
// service open), decided once per request on the request's settings; the
// refusal block a refused caller sees and the visitor counter.
//
// Thread safety: pure functions.
#pragma once

#include <string>

#include "base/clock.h"
#include "query/site_settings.h"

namespace tellwen::query {

// In ban list mode (SecurityAllowAllIPs set): restricted when the address is
// an entry of WebBanList; otherwise restricted unless it is an entry of
// WebGrantList. Every "|" field of a list is an entry, whole-text and
// case-sensitive.
bool IsRestricted(const std::string& remote_addr, const AccessSettings& access);
// WebStatus is not exactly "yes".
bool IsServiceClosed(const AccessSettings& access);

// The verdict of both gates for one request.
struct AccessVerdict {
  bool restricted = false;
  bool closed = false;
  bool refused() const { return restricted || closed; }
};
AccessVerdict CheckAccess(const std::string& remote_addr, const AccessSettings& access);

// The visitor number after stored: a stored value outside 0..9999999 counts
// as 0; one is added; a result outside 0..9999999 becomes 0.
int NextVisitorNumber(int stored);

// The local time now in the database's datetime form.
std::string SqlNow(Clock& clock);

// The refusal block for a refused page (restricted first, then updating,
// then down), with its short-report line and statistics row. Returns the
// text to write.
struct RefusalReport {
  std::string short_line;  // address + " restricted" / " updating" / " down"
  std::string statement;   // the stat_access_failure insert, or ""
};
std::string RefusalBlock(bool restricted, const std::string& web_status,
                         const std::string& remote_addr, const std::string& admin_contact,
                         const std::string& now, RefusalReport* report);

}  // namespace tellwen::query
