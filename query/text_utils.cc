#include "query/text_utils.h"

#include "base/int_text.h"

namespace tellwen::query {

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatSizeKb(std::string_view d) {
  if (d == "0") return "&nbsp;&lt;1Kb";
  const size_t n = d.size();
  std::string s(d);
  // Four to eleven digits: the whole part, the decimals shown and the unit,
  // by the number of digits less four.
  struct Shape {
    size_t whole;
    size_t decimals;
    const char* unit;
  };
  static constexpr Shape kShapes[] = {{1, 1, "Mb"}, {2, 1, "Mb"}, {3, 0, "Mb"}, {1, 2, "Gb"},
                                      {2, 1, "Gb"}, {3, 0, "Gb"}, {1, 2, "Tb"}, {2, 1, "Tb"}};
  std::string body;
  if (n <= 3) {
    body = s + "Kb";
  } else if (n <= 11) {
    const Shape& shape = kShapes[n - 4];
    body = s.substr(0, shape.whole);
    if (shape.decimals > 0) {
      body += '.';
      body += s.substr(shape.whole, shape.decimals);
    }
    body += shape.unit;
  } else {
    body = s.substr(0, n - 9) + "Tb";
  }
  return "&nbsp;" + body;
}

std::string PadLeft(std::string_view text, size_t width, char fill) {
  if (text.size() >= width) return std::string(text);
  return std::string(width - text.size(), fill) + std::string(text);
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

std::string TrimChar(std::string_view text, char c) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] == c) ++begin;
  while (end > begin && text[end - 1] == c) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    const size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::string ZeroPadded(long long value, size_t width) {
  if (value < 0) return "-" + PadLeft(std::to_string(-value), width > 0 ? width - 1 : 0, '0');
  return PadLeft(std::to_string(value), width, '0');
}

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace tellwen::query
