#include "query/charts/chart_request.h"

#include "base/int_text.h"
#include "query/charts/chart_kinds.h"
#include "query/report_text.h"

namespace tellwen::query {

int RangeIndexFromCode(std::string_view code) {
  if (code.empty()) return 0;
  const int value = LeadingInt(code);
  if (value < 1 || value > 3) return 0;
  return value - 1;
}

int KindFromText(std::string_view text) {
  if (text.empty()) return 1;
  const int value = LeadingInt(text);
  if (value < 0 || value > 5) return 1;
  return value;
}

std::string ChartReportText(std::string_view code, std::string_view kind) {
  std::string range_word;
  if (code == "1" || code == "2" || code == "3") {
    range_word = RangeAt(code[0] - '1').log_word;
  } else {
    range_word = LogSafe(code);
  }
  std::string kind_word;
  if (kind.size() == 1 && kind[0] >= '0' && kind[0] <= '5') {
    kind_word = KindAt(kind[0] - '0').log_word;
  } else {
    kind_word = LogSafe(kind);
  }
  return " chart  [" + range_word + ", " + kind_word + "]";
}

bool ChartUrlFolder(std::string_view url, std::string* folder) {
  const size_t slash = url.rfind('/');
  if (slash == std::string_view::npos) return false;
  folder->assign(url.substr(0, slash));
  return true;
}

}  // namespace tellwen::query
