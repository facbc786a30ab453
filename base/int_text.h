// Integers read from text, two ways.
// LeadingInt reads the way the settings and the web's parameters are read
// ("%d" rules): leading white space, an optional sign, then decimal digits;
// whatever follows is ignored. A text without digits reads as 0; a value
// beyond int saturates at INT_MIN or INT_MAX.
// ParseDigits is the strict form for protocol fields and typed values:
// decimal digits only (no sign, no blanks, leading zeros allowed), from 1
// to `max_digits` of them; `max_digits` is at most 18, so the value always
// fits. False, and *value untouched, for anything else.
// HexDigitValue is the value of one hexadecimal digit (either case), or -1
// for any other character.
//
// Thread safety: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tellwen {

int LeadingInt(std::string_view text);

bool ParseDigits(std::string_view text, std::size_t max_digits, std::uint64_t* value);

constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace tellwen
