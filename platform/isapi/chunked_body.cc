#include "platform/isapi/chunked_body.h"

#include "base/int_text.h"

namespace tellwen::isapi {
namespace {

// One past the "\n" of the line starting at at, or npos when not all there.
std::size_t LineEnd(const std::string& data, std::size_t at) {
  const std::size_t newline = data.find('\n', at);
  return newline == std::string::npos ? std::string::npos : newline + 1;
}

}  // namespace

ChunkedEnd FindChunkedEnd(const std::string& data, std::size_t start, std::size_t* end,
                          std::size_t* decoded_size) {
  std::size_t at = start;
  std::size_t decoded = 0;
  auto result = [&](ChunkedEnd kind) {
    if (decoded_size != nullptr) *decoded_size = decoded;
    return kind;
  };
  for (;;) {
    const std::size_t line_end = LineEnd(data, at);
    if (line_end == std::string::npos) {
      // A size line longer than any sound one will never end well.
      return result(data.size() - at > 1024 ? ChunkedEnd::kMalformed : ChunkedEnd::kIncomplete);
    }
    std::size_t size = 0;
    std::size_t digits = 0;
    std::size_t i = at;
    for (; i < line_end && HexDigitValue(data[i]) >= 0; ++i, ++digits) {
      size = size * 16 + static_cast<std::size_t>(HexDigitValue(data[i]));
    }
    if (digits == 0 || digits > 15) return result(ChunkedEnd::kMalformed);
    const char after = data[i];
    if (after != ';' && after != '\r' && after != '\n' && after != ' ' && after != '\t') {
      return result(ChunkedEnd::kMalformed);
    }
    at = line_end;
    if (size == 0) break;
    decoded += size;
    if (data.size() - at < size) return result(ChunkedEnd::kIncomplete);
    at += size;
    // The chunk's own line end.
    if (data.size() - at < 1 || (data[at] == '\r' && data.size() - at < 2)) {
      return result(ChunkedEnd::kIncomplete);
    }
    if (data.compare(at, 2, "\r\n") == 0) {
      at += 2;
    } else if (data[at] == '\n') {
      at += 1;
    } else {
      return result(ChunkedEnd::kMalformed);
    }
  }
  // Trailer lines up to an empty one.
  for (;;) {
    const std::size_t line_end = LineEnd(data, at);
    if (line_end == std::string::npos) {
      return result(data.size() - at > 8192 ? ChunkedEnd::kMalformed : ChunkedEnd::kIncomplete);
    }
    const std::size_t length = line_end - at;
    at = line_end;
    if (length == 1 || (length == 2 && data[line_end - 2] == '\r')) break;
  }
  *end = at;
  return result(ChunkedEnd::kComplete);
}

}  // namespace tellwen::isapi
