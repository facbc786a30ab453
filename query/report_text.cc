#include "query/report_text.h"

namespace tellwen::query {

std::string LogSafe(std::string_view text) {
  size_t size = text.size();
  if (size > kReportTextLimit) {
    size = kReportTextLimit;
    // Back off over continuation bytes so that no character is split; a
    // run of them longer than a character is not UTF-8 and is cut as bytes.
    size_t end = size;
    while (end > 0 && size - end < 4 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
      --end;
    }
    if (size - end < 4) size = end;
  }
  std::string out(text.substr(0, size));
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return out;
}

}  // namespace tellwen::query
