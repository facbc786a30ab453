// Integers read from text the way the settings and the web's parameters are
// read ("%d" rules): leading white space, an optional sign, then decimal
// digits; whatever follows is ignored. A text without digits reads as 0; a
// value beyond int saturates at INT_MIN or INT_MAX.
//
// Thread safety: pure function.
#pragma once

#include <string_view>

namespace tellwen {

int LeadingInt(std::string_view text);

}  // namespace tellwen
