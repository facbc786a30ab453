// What a request's Range header asks of a file of a known size.
//
// kivweb serves one range: "bytes=FIRST-LAST", "bytes=FIRST-" or
// "bytes=-SUFFIX" (the last SUFFIX bytes), the unit in any case, blanks
// allowed around "=". A last position past the end is the end. A range that
// starts at or after the end, or asks for the last 0 bytes, cannot be
// satisfied (416). Anything else (no header, another unit, a malformed or
// reversed range, several ranges) is answered with the whole file, which a
// server may always do.
//
// Thread safety: a pure function over values.
#pragma once

#include <cstdint>
#include <string>

namespace tellwen::isapi {

struct ByteRange {
  enum class Kind { kWhole, kPart, kUnsatisfiable };
  Kind kind = Kind::kWhole;
  std::uint64_t first = 0;   // kPart: the first byte sent
  std::uint64_t length = 0;  // kPart: the number of bytes sent (at least 1)
};

ByteRange ParseByteRange(const std::string& header, std::uint64_t size);

}  // namespace tellwen::isapi
