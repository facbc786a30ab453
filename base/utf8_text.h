// UTF-8 checks of texts that come from outside (network names, index
// files, HTTP requests).
//
// Thread safety: pure functions.
#pragma once

#include <cstddef>
#include <string>

namespace tellwen {

// Length of the valid UTF-8 sequence starting at text[i] (i < size), or 0:
// no overlong forms, no surrogates, nothing above U+10FFFF.
size_t Utf8SequenceLength(const std::string& text, size_t i);

// text with every byte that is not part of valid UTF-8 read as the Latin-1
// character of that value (0xE9 becomes "é"); valid UTF-8 stays as it is.
std::string Utf8WithLatin1Bytes(const std::string& text);

}  // namespace tellwen
