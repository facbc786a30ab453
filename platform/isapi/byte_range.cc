#include "platform/isapi/byte_range.h"

#include <strings.h>

#include "base/int_text.h"
#include "base/text_trim.h"

namespace tellwen::isapi {

ByteRange ParseByteRange(const std::string& header, std::uint64_t size) {
  ByteRange whole;
  const std::size_t equals = header.find('=');
  if (equals == std::string::npos) return whole;
  if (strcasecmp(Trim(header.substr(0, equals)).c_str(), "bytes") != 0) return whole;
  const std::string range_set = Trim(header.substr(equals + 1));
  const std::size_t dash = range_set.find('-');
  if (dash == std::string::npos || range_set.find(',') != std::string::npos) return whole;
  const std::string first_text = Trim(range_set.substr(0, dash));
  const std::string last_text = Trim(range_set.substr(dash + 1));
  ByteRange range;
  range.kind = ByteRange::Kind::kPart;
  if (first_text.empty()) {
    std::uint64_t suffix = 0;
    if (!ParseDigits(last_text, 18, &suffix)) return whole;
    if (suffix == 0 || size == 0) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
    range.length = suffix < size ? suffix : size;
    range.first = size - range.length;
    return range;
  }
  std::uint64_t first = 0, last = 0;
  if (!ParseDigits(first_text, 18, &first)) return whole;
  if (last_text.empty()) {
    last = size > 0 ? size - 1 : 0;
  } else if (!ParseDigits(last_text, 18, &last) || last < first) {
    return whole;
  }
  if (first >= size) return ByteRange{ByteRange::Kind::kUnsatisfiable, 0, 0};
  if (last >= size) last = size - 1;
  range.first = first;
  range.length = last - first + 1;
  return range;
}

}  // namespace tellwen::isapi
