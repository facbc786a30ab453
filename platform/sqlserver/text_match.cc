#include "platform/sqlserver/text_match.h"

#include <algorithm>

namespace tellwen::sqlserver {

uint32_t FoldCase(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp >= 0x100 && cp <= 0x137) return cp | 1;
  if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177) return cp | 1;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

void DecodeUtf8(std::string_view s, bool fold, std::vector<uint32_t>* out) {
  out->clear();
  out->reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    uint32_t cp = c;
    size_t len = 1;
    if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if (c >= 0xF0 && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
           (s[i + 3] & 0x3F);
      len = 4;
    }
    out->push_back(fold ? FoldCase(cp) : cp);
    i += len;
  }
}

std::string EncodeUtf8(const std::vector<uint32_t>& cps, size_t from, size_t to) {
  std::string r;
  for (size_t i = from; i < to && i < cps.size(); ++i) {
    uint32_t cp = cps[i];
    if (cp < 0x80) {
      r.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      r.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      r.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      r.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      r.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return r;
}

namespace {

size_t TrimmedLength(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  a = a.substr(0, TrimmedLength(a));
  b = b.substr(0, TrimmedLength(b));
  if (IsAscii(a) && IsAscii(b)) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      int ca = static_cast<unsigned char>(a[i]);
      int cb = static_cast<unsigned char>(b[i]);
      if (ca >= 'A' && ca <= 'Z') ca += 32;
      if (cb >= 'A' && cb <= 'Z') cb += 32;
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
  std::vector<uint32_t> x, y;
  DecodeUtf8(a, true, &x);
  DecodeUtf8(b, true, &y);
  if (x == y) return 0;
  return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end()) ? -1 : 1;
}

LikePattern::LikePattern(std::string_view pattern, uint32_t escape) {
  std::vector<uint32_t> p;
  DecodeUtf8(pattern, false, &p);
  for (size_t i = 0; i < p.size(); ++i) {
    uint32_t c = p[i];
    Element e;
    if (escape != 0 && c == escape && i + 1 < p.size()) {
      e.kind = Element::kChar;
      e.ch = FoldCase(p[++i]);
    } else if (c == '%') {
      if (!elements_.empty() && elements_.back().kind == Element::kAny) continue;
      e.kind = Element::kAny;
    } else if (c == '_') {
      e.kind = Element::kOne;
    } else if (c == '[') {
      // Find the closing bracket; the first character of the set may be "]".
      size_t j = i + 1;
      if (j < p.size() && p[j] == '^') ++j;
      size_t close = std::string_view::npos;
      for (size_t k = j; k < p.size(); ++k) {
        if (p[k] == ']' && k > j) {
          close = k;
          break;
        }
      }
      if (close == std::string_view::npos) {
        e.kind = Element::kChar;
        e.ch = '[';
      } else {
        e.kind = Element::kSet;
        e.negated = p[i + 1] == '^';
        for (size_t k = j; k < close; ++k) {
          uint32_t lo = FoldCase(p[k]);
          if (k + 2 < close && p[k + 1] == '-') {
            uint32_t hi = FoldCase(p[k + 2]);
            e.ranges.emplace_back(lo, hi);
            k += 2;
          } else {
            e.ranges.emplace_back(lo, lo);
          }
        }
        i = close;
      }
    } else {
      e.kind = Element::kChar;
      e.ch = FoldCase(c);
    }
    elements_.push_back(std::move(e));
  }
  // %literal% with an ASCII literal: a plain substring search.
  if (elements_.size() >= 2 && elements_.front().kind == Element::kAny &&
      elements_.back().kind == Element::kAny) {
    bool plain = true;
    std::string lit;
    for (size_t k = 1; k + 1 < elements_.size(); ++k) {
      if (elements_[k].kind != Element::kChar || elements_[k].ch >= 0x80) {
        plain = false;
        break;
      }
      lit.push_back(static_cast<char>(elements_[k].ch));
    }
    if (plain) {
      contains_ascii_ = true;
      literal_ = lit;
    }
  }
}

bool LikePattern::ElementMatches(const Element& e, uint32_t ch) const {
  switch (e.kind) {
    case Element::kOne:
      return true;
    case Element::kChar:
      return e.ch == ch;
    case Element::kSet: {
      bool in = false;
      for (const auto& [lo, hi] : e.ranges) {
        if (ch >= lo && ch <= hi) {
          in = true;
          break;
        }
      }
      return in != e.negated;
    }
    case Element::kAny:
      return true;
  }
  return false;
}

bool LikePattern::MatchFrom(const std::vector<uint32_t>& text, size_t t, size_t p) const {
  // Iterative matching with backtracking to the last %.
  size_t star_p = std::string::npos, star_t = 0;
  while (t < text.size()) {
    if (p < elements_.size() && elements_[p].kind == Element::kAny) {
      star_p = p++;
      star_t = t;
    } else if (p < elements_.size() && ElementMatches(elements_[p], text[t])) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < elements_.size() && elements_[p].kind == Element::kAny) ++p;
  return p == elements_.size();
}

bool LikePattern::Matches(std::string_view value) const {
  if (contains_ascii_) {
    if (literal_.empty()) return true;
    const size_t n = value.size(), m = literal_.size();
    if (m > n) {
      return false;
    }
    const char first = literal_[0];
    for (size_t i = 0; i + m <= n; ++i) {
      unsigned char c = value[i];
      if (c >= 'A' && c <= 'Z') c += 32;
      if (c != static_cast<unsigned char>(first)) continue;
      size_t k = 1;
      for (; k < m; ++k) {
        unsigned char d = value[i + k];
        if (d >= 'A' && d <= 'Z') d += 32;
        if (d != static_cast<unsigned char>(literal_[k])) break;
      }
      if (k == m) return true;
    }
    return false;
  }
  std::vector<uint32_t> text;
  DecodeUtf8(value, true, &text);
  if (MatchFrom(text, 0, 0)) return true;
  // Trailing blanks of the value do not count.
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  if (n == text.size()) return false;
  text.resize(n);
  return MatchFrom(text, 0, 0);
}

int64_t LikePattern::FindIndex(std::string_view value) const {
  std::vector<uint32_t> text;
  DecodeUtf8(value, true, &text);
  if (elements_.empty()) return 0;
  if (elements_.front().kind != Element::kAny) {
    return MatchFrom(text, 0, 0) ? 1 : 0;
  }
  // The first position from which the rest of the pattern matches.
  for (size_t t = 0; t <= text.size(); ++t) {
    if (MatchFrom(text, t, 1)) return static_cast<int64_t>(t) + 1;
  }
  return 0;
}

}  // namespace tellwen::sqlserver
