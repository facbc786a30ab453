// The texts of a chart request: the range code (`path`) and the kind (`t`)
// read as numbers onto the fixed tables, the request report's wording, and
// the extension's URL folder in which the charts are kept.
//
// Request texts are untrusted: nothing of them reaches SQL or a file name
// except the numbers read here.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tellwen::query {

// Codes and kinds are read as numbers by LeadingInt (base/int_text.h).

// The range index (0, 1, 2) of a request's range code: "1" daily, "2"
// weekly, "3" yearly; an empty code or one whose value is outside 1 to 3
// counts as daily.
int RangeIndexFromCode(std::string_view code);

// The chart kind (0 to 5) of a request's kind text; an empty text or one
// whose value is outside 0 to 5 counts as 1 (searches); text that is not a
// number reads as 0 (pings).
int KindFromText(std::string_view text);

// The request report's part after the caller's address: " chart  [" +
// range log word + ", " + kind log word + "]". A code other than "1", "2",
// "3" or a kind other than "0" to "5" is logged as it came, through LogSafe
// (query/report_text.h).
std::string ChartReportText(std::string_view code, std::string_view kind);

// The URL folder of the extension's own URL (the server variable `URL`):
// the text up to its last "/", the "/" left out. False when the URL holds no
// "/"; the handler then answers "Weird response from GetServerVariable: "
// followed by the value and "<br>". The caller maps the folder to a physical
// path and appends "/": that is the chart folder.
bool ChartUrlFolder(std::string_view url, std::string* folder);

}  // namespace tellwen::query
