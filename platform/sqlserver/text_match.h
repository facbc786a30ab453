// Text comparison and LIKE with SQL Server's default collation: letter case
// is ignored (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters),
// trailing blanks do not count in comparisons, and LIKE knows %, _, [set],
// [a-z], [^set] and an optional escape character. A "[" without its "]" and
// a lone "]" are literal characters.
//
// A compiled pattern matches in one of two ways that always agree: on the
// value's code points (any value), or on its bytes when every ASCII byte of
// the value stands for itself (always true for valid UTF-8) and the pattern
// can only match single ASCII characters where it does not match "any run".
// The byte way has fast paths for the shapes names are searched with:
// "literal", "literal%", "%literal", "%literal%".
//
// Thread safety: pure functions; a compiled pattern or pattern set is
// immutable and may be shared between threads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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
  // The same answer as Matches, always by code points (no fast path); the
  // reference the fast paths are checked against.
  bool MatchesByCodePoints(std::string_view value) const;
  // 1-based character position of the first match of the pattern read as
  // PATINDEX does, 0 when none.
  int64_t FindIndex(std::string_view value) const;
  // The runs of at least min_length characters that every match holds
  // literally (folded to lower case, UTF-8): consecutive elements that each
  // match exactly one character (plain or escaped characters, one-character
  // sets such as [_] or [[]). A value the pattern matches holds each run,
  // folded, as a substring (trailing blanks only ever shorten the value).
  std::vector<std::string> LiteralRuns(size_t min_length) const;

 private:
  friend class LikePatternSet;
  struct Element {
    enum Kind { kAny, kOne, kChar, kSet } kind;
    uint32_t ch = 0;  // folded
    bool negated = false;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // folded, inclusive
  };
  enum class Shape { kGeneral, kExact, kPrefix, kSuffix, kContains };
  // One element on bytes: kAny, or the value bytes it accepts.
  struct ByteElement {
    bool any = false;
    std::array<bool, 256> accepts{};
  };

  bool MatchFrom(const std::vector<uint32_t>& text, size_t t, size_t p) const;
  bool ElementMatches(const Element& e, uint32_t ch) const;
  // value: n bytes, trimmed = n less the trailing blanks. Only for values
  // the byte way is valid for.
  bool MatchesBytes(const unsigned char* value, size_t n, size_t trimmed) const;
  bool MatchBytesFrom(const unsigned char* text, size_t n) const;

  std::vector<Element> elements_;
  std::vector<ByteElement> byte_elements_;
  Shape shape_ = Shape::kGeneral;
  std::string literal_;  // folded ASCII literal of the fast shapes
  // The byte way is valid for values whose ASCII bytes stand for themselves
  // but that hold other bytes too (it always is for pure ASCII values).
  bool bytes_for_non_ascii_ = false;
};

// Several LIKE patterns tried on one value, as "(v LIKE p1) OR (v LIKE p2)
// OR ...": the value is classified once for all of them.
class LikePatternSet {
 public:
  // A missing pattern stands for NULL.
  explicit LikePatternSet(const std::vector<std::optional<std::string>>& patterns);
  // 1 when some pattern matches, otherwise NULL (nullopt) when a pattern is
  // NULL, otherwise 0: SQL's OR of the single results.
  std::optional<bool> Matches(std::string_view value) const;

 private:
  std::vector<LikePattern> patterns_;
  // For ASCII values: the suffix patterns ("%.mp3") by the last byte of
  // their literal, the other patterns apart (indexes into patterns_). A
  // suffix pattern can only match a value whose last byte, or last byte
  // before its trailing blanks, is that byte once folded; a category's
  // dozens of extensions are tried as a few.
  std::array<std::vector<uint32_t>, 256> suffix_by_last_;
  std::vector<uint32_t> unbucketed_;
  bool has_null_ = false;
};

// Decodes UTF-8 to code points, folded when fold is set. Invalid bytes are
// taken one by one.
void DecodeUtf8(std::string_view s, bool fold, std::vector<uint32_t>* out);
std::string EncodeUtf8(const std::vector<uint32_t>& cps, size_t from, size_t to);
// The value folded to lower case code point by code point, as UTF-8: equal
// texts under the collation give equal folded texts (but for trailing
// blanks), and a LIKE pattern's literal runs are substrings of the folded
// text of every value it matches.
std::string FoldedText(std::string_view s);

}  // namespace tellwen::sqlserver
