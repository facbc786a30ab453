// The two gates of every framed page (may this address use the site, is the
// service open), the refusal block a refused caller sees, the visitor
// counter and the statistics rows of accesses.
//
// Thread safety: functions read the settings afresh; any thread.
#pragma once

#include <string>

#include "common/kiv_registry.h"

namespace tellwen::query {

// With SecurityAllowAllIPs set: restricted when the address is an entry of
// WebBanList; otherwise restricted unless it is an entry of WebGrantList.
// Every "|" field of a list is an entry, whole-text and case-sensitive.
bool IsRestricted(const std::string& remote_addr, CKIVRegistry& settings);
// WebStatus is not exactly "yes".
bool IsServiceClosed(CKIVRegistry& settings);

// The visitor number after stored: a stored value outside 0..9999999 counts
// as 0; one is added; a result outside 0..9999999 becomes 0.
int NextVisitorNumber(int stored);

// "%Y-%m-%d %H:%M:%S" of local time now.
std::string SqlNow();

// The refusal block for a refused page (restricted first, then updating,
// then down), with its short-report line and statistics row. Returns the
// text to write.
struct RefusalReport {
  std::string short_line;  // address + " restricted" / " updating" / " down"
  std::string statement;   // the stat_access_failure insert, or ""
};
std::string RefusalBlock(bool restricted, const std::string& web_status,
                         const std::string& remote_addr, const std::string& admin_contact,
                         RefusalReport* report);

}  // namespace tellwen::query
