#include "platform/isapi/byte_range.h"

#include <strings.h>

namespace tellwen::isapi {
namespace {

std::string TrimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// 1 to 18 digits.
bool ParsePosition(const std::string& text, std::uint64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

ByteRange ParseByteRange(const std::string& header, std::uint64_t size) {
  ByteRange whole;
  const std::size_t equals = header.find('=');
  if (equals == std::string::npos) return whole;
  if (strcasecmp(TrimBlanks(header.substr(0, equals)).c_str(), "bytes") != 0) return whole;
  const std::string range_set = TrimBlanks(header.substr(equals + 1));
  const std::size_t dash = range_set.find('-');
  if (dash == std::string::npos || range_set.find(',') != std::string::npos) return whole;
  const std::string first_text = TrimBlanks(range_set.substr(0, dash));
  const std::string last_text = TrimBlanks(range_set.substr(dash + 1));
  ByteRange range;
  range.kind = ByteRange::Kind::kPart;
  if (first_text.empty()) {
    std::uint64_t suffix = 0;
    if (!ParsePosition(last_text, &suffix)) return whole;
    if (suffix == 0 || size == 0) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
    range.length = suffix < size ? suffix : size;
    range.first = size - range.length;
    return range;
  }
  std::uint64_t first = 0, last = 0;
  if (!ParsePosition(first_text, &first)) return whole;
  if (last_text.empty()) {
    last = size > 0 ? size - 1 : 0;
  } else if (!ParsePosition(last_text, &last) || last < first) {
    return whole;
  }
  if (first >= size) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
  if (last >= size) last = size - 1;
  range.first = first;
  range.length = last - first + 1;
  return range;
}

}  // namespace tellwen::isapi
