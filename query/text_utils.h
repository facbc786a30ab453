// Text utilities shared by every page of the search site: URL decoding, the
// size formatter and small string helpers (escaping is query/escape.h).
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellwen::query {

// Decodes "%XX" (either letter case) and "+" as a space; a "%" not followed
// by two hexadecimal digits stays as it is.
std::string UrlDecode(std::string_view text);
// Kilobytes as the results page shows them ("&nbsp;1.2Mb"); d holds digits.
std::string FormatSizeKb(std::string_view d);
// Prefixes fill until text has width characters; longer texts unchanged.
std::string PadLeft(std::string_view text, size_t width, char fill = ' ');
// Pieces between separators; empty pieces are dropped.
std::vector<std::string> SplitText(std::string_view text, char separator);
// Removes c from both ends.
std::string TrimChar(std::string_view text, char c);
// Replaces every occurrence of from by to, scanning on after each replacement.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);
// Decimal text padded with "0" to width.
std::string ZeroPadded(long long value, size_t width);
// True when text is one or more decimal digits and nothing else.
bool IsDigits(std::string_view text);

}  // namespace tellwen::query
