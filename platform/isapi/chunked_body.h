// Where a chunked request body ends, found without decoding it, so that a
// whole request can be held back until its last byte has arrived.
//
// The body is chunks ("SIZE[;ext]\r\n" then SIZE bytes and "\r\n") up to the
// last chunk ("0\r\n"), then trailer lines up to an empty line. Sizes are hex
// of at most 15 digits; a bare "\n" ends a line as "\r\n" does.
//
// Thread safety: a pure function over values.
#pragma once

#include <cstddef>
#include <string>

namespace tellwen::isapi {

enum class ChunkedEnd { kComplete, kIncomplete, kMalformed };

// Reads data from start. kComplete sets *end to one past the body's last
// byte; *decoded_size (when not null) gets the size of the data it carries,
// so far when incomplete.
ChunkedEnd FindChunkedEnd(const std::string& data, std::size_t start, std::size_t* end,
                          std::size_t* decoded_size = nullptr);

}  // namespace tellwen::isapi
