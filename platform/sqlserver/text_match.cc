#include "platform/sqlserver/text_match.h"

#include <algorithm>
#include <cstring>

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

// How a value may be matched on its bytes.
enum class ValueForm {
  kAscii,             // every byte below 0x80
  kAsciiStandsAlone,  // other bytes too, but each ASCII byte decodes as itself
                      // and no other sequence decodes to an ASCII character
  kIrregular,         // neither: only the code point way is exact
};

// ASCII letters lowered, every other byte unchanged.
struct LowerTable {
  unsigned char map[256];
  constexpr LowerTable() : map() {
    for (int i = 0; i < 256; ++i) {
      map[i] = static_cast<unsigned char>((i >= 'A' && i <= 'Z') ? i + 32 : i);
    }
  }
};
constexpr LowerTable kLower;

// The value's form, reading the bytes as DecodeUtf8 does.
ValueForm Classify(std::string_view value) {
  const size_t n = value.size();
  const unsigned char* v = reinterpret_cast<const unsigned char*>(value.data());
  size_t i = 0;
  // Eight bytes at a time while they are all ASCII.
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, v + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  ValueForm form = ValueForm::kAscii;
  while (i < n) {
    const unsigned char c = v[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    form = ValueForm::kAsciiStandsAlone;
    size_t len = 1;
    uint32_t cp = c;
    if (c >= 0xC0 && c < 0xE0 && i + 1 < n) {
      len = 2;
      cp = ((c & 0x1F) << 6) | (v[i + 1] & 0x3F);
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < n) {
      len = 3;
      cp = ((c & 0x0F) << 12) | ((v[i + 1] & 0x3F) << 6) | (v[i + 2] & 0x3F);
    } else if (c >= 0xF0 && i + 3 < n) {
      len = 4;
      cp = ((c & 0x07) << 18) | ((v[i + 1] & 0x3F) << 12) | ((v[i + 2] & 0x3F) << 6) |
           (v[i + 3] & 0x3F);
    }
    // A sequence that swallows an ASCII byte, or an overlong form of an
    // ASCII character, reads differently by code points.
    if (cp < 0x80) return ValueForm::kIrregular;
    for (size_t k = 1; k < len; ++k) {
      if (v[i + k] < 0x80) return ValueForm::kIrregular;
    }
    i += len;
  }
  return form;
}

std::vector<uint32_t>& CodePointBuffer() {
  thread_local std::vector<uint32_t> buffer;
  return buffer;
}

// a (a value's bytes) equals the folded literal b, ignoring a's case.
bool SameFolded(const unsigned char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (kLower.map[a[i]] != static_cast<unsigned char>(b[i])) return false;
  }
  return true;
}

bool ContainsFolded(const unsigned char* v, size_t n, const char* lit, size_t m) {
  if (m == 0) return true;
  if (m > n) return false;
  const unsigned char first = lit[0];
  for (size_t i = 0; i + m <= n; ++i) {
    if (kLower.map[v[i]] == first && SameFolded(v + i + 1, lit + 1, m - 1)) return true;
  }
  return false;
}

// Matches text characters [t, n) against pattern elements [p, count):
// is_any(e) says whether element e is a % (any run, empty too), and
// accepts(e, c) whether element e takes text character c. Iterative, with
// backtracking to the last %.
template <class IsAny, class Accepts>
bool WildcardWalk(size_t n, size_t count, size_t t, size_t p, IsAny is_any, Accepts accepts) {
  size_t star_p = std::string::npos, star_t = 0;
  while (t < n) {
    if (p < count && is_any(p)) {
      star_p = p++;
      star_t = t;
    } else if (p < count && accepts(p, t)) {
      ++p;
      ++t;
    } else if (star_p != std::string::npos) {
      p = star_p + 1;
      t = ++star_t;
    } else {
      return false;
    }
  }
  while (p < count && is_any(p)) ++p;
  return p == count;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  a = a.substr(0, TrimmedLength(a));
  b = b.substr(0, TrimmedLength(b));
  // ASCII prefix byte by byte; from the first other byte on, by code points.
  const size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  for (; i < n; ++i) {
    int ca = static_cast<unsigned char>(a[i]);
    int cb = static_cast<unsigned char>(b[i]);
    if ((ca | cb) >= 0x80) break;
    if (ca == cb) continue;
    if (ca >= 'A' && ca <= 'Z') ca += 32;
    if (cb >= 'A' && cb <= 'Z') cb += 32;
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i == n) return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  // The prefix was ASCII in both, so decoding the rest from here is the
  // same as decoding the whole.
  std::vector<uint32_t> x, y;
  DecodeUtf8(a.substr(i), true, &x);
  DecodeUtf8(b.substr(i), true, &y);
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

  // The byte form: each element accepts the folded ASCII bytes it matches.
  // Bytes from 0x80 up belong to characters outside ASCII; an element that
  // can match such a character (_, [^..], a set or character beyond ASCII)
  // keeps the byte way to pure ASCII values.
  bytes_for_non_ascii_ = true;
  for (const Element& e : elements_) {
    ByteElement b;
    b.any = e.kind == Element::kAny;
    if (!b.any) {
      // Indexed by the value's own byte: the element sees it folded.
      for (uint32_t c = 0; c < 0x80; ++c) b.accepts[c] = ElementMatches(e, kLower.map[c]);
    }
    switch (e.kind) {
      case Element::kAny:
        break;
      case Element::kOne:
        bytes_for_non_ascii_ = false;
        break;
      case Element::kChar:
        if (e.ch >= 0x80) bytes_for_non_ascii_ = false;
        break;
      case Element::kSet:
        if (e.negated) bytes_for_non_ascii_ = false;
        for (const auto& [lo, hi] : e.ranges) {
          if (lo <= hi && hi >= 0x80) bytes_for_non_ascii_ = false;
        }
        break;
    }
    byte_elements_.push_back(b);
  }

  // The shapes with a fast path: an ASCII literal, optionally after and/or
  // before a %.
  const size_t count = elements_.size();
  const bool lead_any = count > 0 && elements_.front().kind == Element::kAny;
  const bool trail_any = count > (lead_any ? 1 : 0) && elements_.back().kind == Element::kAny;
  const size_t first = lead_any ? 1 : 0, last = count - (trail_any ? 1 : 0);
  std::string literal;
  bool plain = true;
  for (size_t k = first; k < last; ++k) {
    if (elements_[k].kind != Element::kChar || elements_[k].ch >= 0x80) {
      plain = false;
      break;
    }
    literal.push_back(static_cast<char>(elements_[k].ch));
  }
  if (plain) {
    literal_ = std::move(literal);
    if (lead_any && trail_any) {
      shape_ = Shape::kContains;
    } else if (lead_any) {
      // "%" alone: any value, as "%%" is.
      shape_ = count == 1 ? Shape::kContains : Shape::kSuffix;
    } else if (trail_any) {
      shape_ = Shape::kPrefix;
    } else {
      shape_ = Shape::kExact;
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
  return WildcardWalk(
      text.size(), elements_.size(), t, p,
      [this](size_t e) { return elements_[e].kind == Element::kAny; },
      [this, &text](size_t e, size_t c) { return ElementMatches(elements_[e], text[c]); });
}

bool LikePattern::MatchBytesFrom(const unsigned char* text, size_t n) const {
  // The same walk as MatchFrom, one byte per character.
  return WildcardWalk(
      n, byte_elements_.size(), 0, 0, [this](size_t e) { return byte_elements_[e].any; },
      [this, text](size_t e, size_t c) { return byte_elements_[e].accepts[text[c]]; });
}

bool LikePattern::MatchesBytes(const unsigned char* value, size_t n, size_t trimmed) const {
  const size_t m = literal_.size();
  const char* lit = literal_.data();
  switch (shape_) {
    case Shape::kExact:
      return (n == m || trimmed == m) && SameFolded(value, lit, m);
    case Shape::kPrefix:
      // A prefix of the trimmed value is one of the value.
      return n >= m && SameFolded(value, lit, m);
    case Shape::kSuffix:
      return (n >= m && SameFolded(value + n - m, lit, m)) ||
             (trimmed < n && trimmed >= m && SameFolded(value + trimmed - m, lit, m));
    case Shape::kContains:
      return ContainsFolded(value, n, lit, m);
    case Shape::kGeneral:
      break;
  }
  if (MatchBytesFrom(value, n)) return true;
  return trimmed < n && MatchBytesFrom(value, trimmed);
}

bool LikePattern::MatchesByCodePoints(std::string_view value) const {
  std::vector<uint32_t>& text = CodePointBuffer();
  DecodeUtf8(value, true, &text);
  if (MatchFrom(text, 0, 0)) return true;
  // Trailing blanks of the value do not count.
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  if (n == text.size()) return false;
  text.resize(n);
  return MatchFrom(text, 0, 0);
}

bool LikePattern::Matches(std::string_view value) const {
  const ValueForm form = Classify(value);
  if (form == ValueForm::kAscii || (form == ValueForm::kAsciiStandsAlone && bytes_for_non_ascii_)) {
    return MatchesBytes(reinterpret_cast<const unsigned char*>(value.data()), value.size(),
                        TrimmedLength(value));
  }
  return MatchesByCodePoints(value);
}

std::vector<std::string> LikePattern::LiteralRuns(size_t min_length) const {
  std::vector<std::string> runs;
  std::vector<uint32_t> run;
  auto flush = [&] {
    if (run.size() >= min_length && !run.empty()) runs.push_back(EncodeUtf8(run, 0, run.size()));
    run.clear();
  };
  for (const Element& e : elements_) {
    if (e.kind == Element::kChar) {
      run.push_back(e.ch);
    } else if (e.kind == Element::kSet && !e.negated && !e.ranges.empty() &&
               std::all_of(e.ranges.begin(), e.ranges.end(), [&](const auto& r) {
                 return r.first == r.second && r.first == e.ranges[0].first;
               })) {
      run.push_back(e.ranges[0].first);
    } else {
      flush();
    }
  }
  flush();
  return runs;
}

std::string FoldedText(std::string_view s) {
  std::vector<uint32_t> cps;
  DecodeUtf8(s, true, &cps);
  return EncodeUtf8(cps, 0, cps.size());
}

int64_t LikePattern::FindIndex(std::string_view value) const {
  std::vector<uint32_t>& text = CodePointBuffer();
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

LikePatternSet::LikePatternSet(const std::vector<std::optional<std::string>>& patterns) {
  for (const auto& pattern : patterns) {
    if (pattern) {
      patterns_.emplace_back(*pattern, 0);
    } else {
      has_null_ = true;
    }
  }
  for (uint32_t i = 0; i < patterns_.size(); ++i) {
    const LikePattern& p = patterns_[i];
    if (p.shape_ == LikePattern::Shape::kSuffix && !p.literal_.empty()) {
      suffix_by_last_[static_cast<unsigned char>(p.literal_.back())].push_back(i);
    } else {
      unbucketed_.push_back(i);
    }
  }
}

std::optional<bool> LikePatternSet::Matches(std::string_view value) const {
  const ValueForm form = Classify(value);
  const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
  const size_t n = value.size(), trimmed = TrimmedLength(value);
  if (form == ValueForm::kAscii) {
    auto any = [&](const std::vector<uint32_t>& which) {
      for (uint32_t i : which) {
        if (patterns_[i].MatchesBytes(bytes, n, trimmed)) return true;
      }
      return false;
    };
    if (any(unbucketed_)) return true;
    const unsigned char last = n > 0 ? kLower.map[bytes[n - 1]] : 0;
    if (n > 0 && any(suffix_by_last_[last])) return true;
    if (trimmed > 0 && trimmed < n) {
      const unsigned char before_blanks = kLower.map[bytes[trimmed - 1]];
      if (before_blanks != last && any(suffix_by_last_[before_blanks])) return true;
    }
    if (has_null_) return std::nullopt;
    return false;
  }
  for (const LikePattern& p : patterns_) {
    const bool by_bytes = form == ValueForm::kAsciiStandsAlone && p.bytes_for_non_ascii_;
    if (by_bytes ? p.MatchesBytes(bytes, n, trimmed) : p.MatchesByCodePoints(value)) {
      return true;
    }
  }
  if (has_null_) return std::nullopt;
  return false;
}

}  // namespace tellwen::sqlserver
