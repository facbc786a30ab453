// Where a chunked request body ends, and the data it carries, so that a
// whole request can be held back until its last byte has arrived and then
// handed on with a plain length.
//
// The body is chunks ("SIZE[;ext]\r\n" then SIZE bytes and "\r\n") up to the
// last chunk ("0\r\n"), then trailer lines up to an empty line. Sizes are hex
// of at most 15 digits; a bare "\n" ends a line as "\r\n" does.
//
// A scan resumes where the one before stopped (ChunkedScan), so a body that
// arrives in many pieces is read once, not once per piece.
//
// Thread safety: pure functions over values.
#pragma once

#include <cstddef>
#include <string>

namespace tellwen::isapi {

enum class ChunkedEnd { kComplete, kIncomplete, kMalformed };

// How far a scan of a body got: the start of the first chunk (or trailer
// line) not yet whole, the size of the data of the chunks before it, and the
// size that chunk announces when its size line is in.
struct ChunkedScan {
  std::size_t at = 0;
  std::size_t decoded = 0;
  std::size_t announced = 0;
  bool in_trailer = false;
};

// Goes on from *scan over data (a scan starts with scan->at at the body's
// first byte). kComplete sets *end to one past the body's last byte; the
// data's size is scan->decoded, and with the chunk under way
// scan->decoded + scan->announced.
ChunkedEnd ScanChunked(const std::string& data, ChunkedScan* scan, std::size_t* end);

// The same from start, in one go; *decoded_size (when not null) gets the
// data's size, the announced part of a chunk under way included.
ChunkedEnd FindChunkedEnd(const std::string& data, std::size_t start, std::size_t* end,
                          std::size_t* decoded_size = nullptr);

// The data of the whole chunked body at data[start, end) (as FindChunkedEnd
// found it), appended to *out.
void AppendChunkedData(const std::string& data, std::size_t start, std::size_t end,
                       std::string* out);

}  // namespace tellwen::isapi
