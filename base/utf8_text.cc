#include "base/utf8_text.h"

namespace tellwen {

size_t Utf8SequenceLength(const std::string& text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  if (c < 0x80) return 1;
  size_t length;
  unsigned min_second = 0x80, max_second = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) min_second = 0xA0;  // overlong
    if (c == 0xED) max_second = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) min_second = 0x90;  // overlong
    if (c == 0xF4) max_second = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < min_second || byte(i + 1) > max_second) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

std::string Utf8WithLatin1Bytes(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t i = 0;
  while (i < text.size()) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length > 0) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(text[i++]);
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  return out;
}

}  // namespace tellwen
