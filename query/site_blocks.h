// Blocks shared by the site's pages: the fatal block of a database error and
// the ping icon of a computer.
//
// Thread safety: pure functions.
#pragma once

#include <string>

namespace tellwen::query {

// "KIVQuery fatal ERROR", the type and source in red and the administrator
// link; every text escaped.
std::string FatalBlock(const std::string& description, const std::string& source,
                       const std::string& admin_contact);

// The icon of a computer's ping status as the monitor stored it: "1" alive
// (pingyes), "2" dead (pingno), anything else the finger (click to ping).
const char* PingIcon(const std::string& status);

// The ping icon of a computer (name without "//"): status as PingIcon reads
// it (pass "" while the ping results are not fresh, for the finger icon); a
// click pings it on demand.
std::string PingCell(const std::string& name, const std::string& status,
                     const std::string& ping_time);

}  // namespace tellwen::query
