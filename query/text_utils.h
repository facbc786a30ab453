// Text utilities shared by every page of the search site: escaping for each
// context a text can land in, the size formatter and small string helpers.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellwen::query {

// "&" to "&amp;", "<" to "&lt;", ">" to "&gt;"; quotes stay. For element text.
std::string HtmlEscape(std::string_view text);
// HtmlEscape, and each space to "&nbsp;".
std::string HtmlEscapeSpaces(std::string_view text);
// HtmlEscape, and '"' to "&quot;", "'" to "&#39;": for attribute values in
// either kind of quotes.
std::string HtmlAttrEscape(std::string_view text);
// Every byte that is not a letter or digit becomes "%" and two upper-case
// hexadecimal digits; "" stays "".
std::string UrlEncode(std::string_view text);
// Decodes "%XX" (either letter case) and "+" as a space; a "%" not followed
// by two hexadecimal digits stays as it is.
std::string UrlDecode(std::string_view text);
// For the inside of a JavaScript string literal in either kind of quotes,
// also when the script sits in an HTML attribute or a <script> element:
// "'" becomes "\'", "\" becomes "\\", and every byte that could end the
// string, the attribute or the element (quotes, <, >, &, control bytes) is
// written as \xHH. Bytes of 0x80 and above stay, so UTF-8 names survive.
std::string JsEscape(std::string_view text);
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
// Decimal text; ZeroPadded pads with "0" to width.
std::string NumberText(long long value);
std::string ZeroPadded(long long value, size_t width);
// Leading decimal integer as "%d" reads it (optional blanks and sign); 0 when
// the text does not start with a number. Saturates at the int range.
int ParseInt(std::string_view text);
// True when text is one or more decimal digits and nothing else.
bool IsDigits(std::string_view text);

}  // namespace tellwen::query
