#include "platform/isapi/request_framing.h"

#include <strings.h>

#include "common/int_text.h"
#include "common/text_trim.h"

namespace tellwen::isapi {
namespace {

// 1 to 18 digits: a length that fits its type.
bool IsLength(const std::string& text) {
  std::uint64_t length = 0;
  return ParseDigits(text, 18, &length);
}

}  // namespace

std::string FramingFault(const std::string& http_version,
                         const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string length;
  bool has_length = false;
  std::vector<std::string> codings;
  for (const auto& [name, raw_value] : headers) {
    const std::string value = Trim(raw_value);
    if (strcasecmp(name.c_str(), "Content-Length") == 0) {
      if (!IsLength(value)) return "Content-Length '" + value + "' is not a number";
      const std::string number =
          value.substr(std::min(value.find_first_not_of('0'), value.size() - 1));
      if (has_length && number != length) return "two different Content-Length values";
      length = number;
      has_length = true;
    } else if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = value.find(',', start);
        codings.push_back(Trim(value.substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
  }
  if (codings.empty()) return "";
  if (http_version != "1.1") return "Transfer-Encoding in an HTTP/" + http_version + " request";
  if (has_length) return "both Content-Length and Transfer-Encoding";
  if (codings.size() != 1 || strcasecmp(codings[0].c_str(), "chunked") != 0) {
    return "a transfer coding other than chunked";
  }
  return "";
}

}  // namespace tellwen::isapi
