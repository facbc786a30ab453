#include "platform/isapi/chunked_body.h"

#include "base/int_text.h"

namespace tellwen::isapi {
namespace {

// One past the "\n" of the line starting at at, or npos when not all there.
std::size_t LineEnd(const std::string& data, std::size_t at) {
  const std::size_t newline = data.find('\n', at);
  return newline == std::string::npos ? std::string::npos : newline + 1;
}

// The chunk size line starting at at: its size, or false when it is no
// sound one. REQUIRES: the line ends before line_end.
bool ReadSizeLine(const std::string& data, std::size_t at, std::size_t line_end,
                  std::size_t* size) {
  std::size_t digits = 0;
  std::size_t i = at;
  *size = 0;
  for (; i < line_end && HexDigitValue(data[i]) >= 0; ++i, ++digits) {
    *size = *size * 16 + static_cast<std::size_t>(HexDigitValue(data[i]));
  }
  if (digits == 0 || digits > 15) return false;
  const char after = data[i];
  return after == ';' || after == '\r' || after == '\n' || after == ' ' || after == '\t';
}

}  // namespace

ChunkedEnd ScanChunked(const std::string& data, ChunkedScan* scan, std::size_t* end) {
  while (!scan->in_trailer) {
    const std::size_t at = scan->at;
    const std::size_t line_end = LineEnd(data, at);
    if (line_end == std::string::npos) {
      // A size line longer than any sound one will never end well.
      return data.size() - at > 1024 ? ChunkedEnd::kMalformed : ChunkedEnd::kIncomplete;
    }
    std::size_t size = 0;
    if (!ReadSizeLine(data, at, line_end, &size)) return ChunkedEnd::kMalformed;
    scan->announced = size;
    if (size == 0) {
      scan->at = line_end;
      scan->in_trailer = true;
      break;
    }
    std::size_t next = line_end;
    if (data.size() - next < size) return ChunkedEnd::kIncomplete;
    next += size;
    // The chunk's own line end.
    if (data.size() - next < 1 || (data[next] == '\r' && data.size() - next < 2)) {
      return ChunkedEnd::kIncomplete;
    }
    if (data.compare(next, 2, "\r\n") == 0) {
      next += 2;
    } else if (data[next] == '\n') {
      next += 1;
    } else {
      return ChunkedEnd::kMalformed;
    }
    scan->at = next;
    scan->decoded += size;
    scan->announced = 0;
  }
  // Trailer lines up to an empty one.
  for (;;) {
    const std::size_t line_end = LineEnd(data, scan->at);
    if (line_end == std::string::npos) {
      return data.size() - scan->at > 8192 ? ChunkedEnd::kMalformed : ChunkedEnd::kIncomplete;
    }
    const std::size_t length = line_end - scan->at;
    scan->at = line_end;
    if (length == 1 || (length == 2 && data[line_end - 2] == '\r')) break;
  }
  *end = scan->at;
  return ChunkedEnd::kComplete;
}

ChunkedEnd FindChunkedEnd(const std::string& data, std::size_t start, std::size_t* end,
                          std::size_t* decoded_size) {
  ChunkedScan scan;
  scan.at = start;
  const ChunkedEnd found = ScanChunked(data, &scan, end);
  if (decoded_size != nullptr) *decoded_size = scan.decoded + scan.announced;
  return found;
}

void AppendChunkedData(const std::string& data, std::size_t start, std::size_t end,
                       std::string* out) {
  std::size_t at = start;
  while (at < end) {
    const std::size_t line_end = LineEnd(data, at);
    std::size_t size = 0;
    if (line_end == std::string::npos || !ReadSizeLine(data, at, line_end, &size) || size == 0) {
      return;
    }
    out->append(data, line_end, size);
    at = line_end + size;
    at += data.compare(at, 2, "\r\n") == 0 ? 2 : 1;
  }
}

}  // namespace tellwen::isapi
