#include "query/text_utils.h"

namespace tellwen::query {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
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
  std::string body;
  auto part = [&](size_t from, size_t count) { return s.substr(from, count); };
  if (n <= 3) {
    body = s + "Kb";
  } else if (n == 4) {
    body = part(0, 1) + "." + part(1, 1) + "Mb";
  } else if (n == 5) {
    body = part(0, 2) + "." + part(2, 1) + "Mb";
  } else if (n == 6) {
    body = part(0, 3) + "Mb";
  } else if (n == 7) {
    body = part(0, 1) + "." + part(1, 2) + "Gb";
  } else if (n == 8) {
    body = part(0, 2) + "." + part(2, 1) + "Gb";
  } else if (n == 9) {
    body = part(0, 3) + "Gb";
  } else if (n == 10) {
    body = part(0, 1) + "." + part(1, 2) + "Tb";
  } else if (n == 11) {
    body = part(0, 2) + "." + part(2, 1) + "Tb";
  } else {
    body = part(0, n - 9) + "Tb";
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
