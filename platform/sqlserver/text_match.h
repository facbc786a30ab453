// Text comparison and LIKE with SQL Server's default collation: letter case
// is ignored (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters),
// trailing blanks do not count in comparisons, and LIKE knows %, _, [set],
// [a-z], [^set] and an optional escape character. A "[" without its "]" and
// a lone "]" are literal characters.
//
// Thread safety: pure functions; a compiled pattern is immutable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tellwen::sqlserver {

// Folds one code point to lower case.
uint32_t FoldCase(uint32_t cp);

// <0, 0, >0 like strcmp, ignoring case and trailing blanks.
int CompareText(std::string_view a, std::string_view b);

class LikePattern {
 public:
  // escape: 0 for none, otherwise the escape code point.
  LikePattern(std::string_view pattern, uint32_t escape);
  bool Matches(std::string_view value) const;
  // 1-based character position of the first match of the pattern read as
  // PATINDEX does, 0 when none.
  int64_t FindIndex(std::string_view value) const;

 private:
  struct Element {
    enum Kind { kAny, kOne, kChar, kSet } kind;
    uint32_t ch = 0;  // folded
    bool negated = false;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // folded, inclusive
  };
  bool MatchFrom(const std::vector<uint32_t>& text, size_t t, size_t p) const;
  bool ElementMatches(const Element& e, uint32_t ch) const;

  std::vector<Element> elements_;
  // Fast path: the pattern is %literal% with an ASCII literal.
  bool contains_ascii_ = false;
  std::string literal_;  // lower case
};

// Decodes UTF-8 to code points, folded when fold is set. Invalid bytes are
// taken one by one.
void DecodeUtf8(std::string_view s, bool fold, std::vector<uint32_t>* out);
std::string EncodeUtf8(const std::vector<uint32_t>& cps, size_t from, size_t to);

}  // namespace tellwen::sqlserver
