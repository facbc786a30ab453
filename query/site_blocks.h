// Blocks shared by the statistics, browse and download pages: the fatal
// block of a database error and the ping cell of a computer.
//
// Thread safety: pure functions.
#pragma once

#include <string>

namespace tellwen::query {

// "KIVQuery fatal ERROR", the type and source in red and the administrator
// link; every text escaped.
std::string FatalBlock(const std::string& description, const std::string& source,
                       const std::string& admin_contact);

// The ping icon of a computer (name without "//"): status "1" alive, "2"
// dead (icons only while the ping results are fresh: pass "" otherwise for
// the finger icon); a click pings it on demand.
std::string PingCell(const std::string& name, const std::string& status,
                     const std::string& ping_time);

// A label the update script wrote (it may hold "&nbsp;"): "<" and ">" are
// escaped, so no markup can come of it.
std::string ScriptLabel(const std::string& text);

}  // namespace tellwen::query
