// LIKE's byte-level fast paths and the pattern set against the code point
// matcher, over patterns and values chosen to hit every shape and the
// places where bytes and characters differ.
#include "platform/sqlserver/text_match.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tellwen::sqlserver {
namespace {

const std::vector<std::string>& Patterns() {
  static const std::vector<std::string> kPatterns = {"",
                                                     "%",
                                                     "%%",
                                                     "_",
                                                     "abc",
                                                     "ABC",
                                                     "abc ",
                                                     "abc%",
                                                     "%abc",
                                                     "%abc%",
                                                     "%.mp3",
                                                     "%.MP3",
                                                     "%.xl%",
                                                     "makefile%.%",
                                                     "a_c",
                                                     "a%c",
                                                     "%a%b%c%",
                                                     "[a-c]%",
                                                     "%[^a]",
                                                     "[^a-z]%",
                                                     "%[[]1]%",
                                                     "a[_]b%",
                                                     "[_]",
                                                     "[[]",
                                                     "b]",
                                                     "%]",
                                                     "[",
                                                     "[a",
                                                     "%ä%",
                                                     "%Ä",
                                                     "ärger",
                                                     "%[à-ÿ]%",
                                                     "[ä]%",
                                                     "_bc",
                                                     "%_",
                                                     "% ",
                                                     "  ",
                                                     "%.[mM][pP]3",
                                                     "%[0-9][0-9]%",
                                                     "song%track.mp3",
                                                     "%é_%",
                                                     "%ë"};
  return kPatterns;
}

const std::vector<std::string>& Values() {
  static const std::vector<std::string> kValues = {
      "", " ", "   ", "abc", "ABC", "abc ", "abc  ", "Abc.Mp3", "song1 track.MP3",
      "song1 track.mp3   ", "x.mp3 ", "a_b.txt", "axb.txt", "A[1].DOC", "b]", "]", "[",
      "Makefile.am", "makefile", "ÄRGER", "ärger  ", "Ärger.mp3", "schön.doc", "bäc", "aébc", "ëÉ",
      "Ë", "12ab", "ab12", "report.xls", "REPORT.XL",
      // Not valid UTF-8: a lead byte swallowing an ASCII byte, an overlong
      // "A", a lone continuation byte, a lead byte at the end.
      "\xC3.mp3",
      "x\xC3"
      "abc",
      "\xC1\x81"
      "bc",
      "\xE0\x81\x81"
      "bc",
      "abc\x80", "abc\xC3", "\xC3",
      "a\xF0"
      "bc.mp3",
      "\xC3\xA4"
      "bc"};
  return kValues;
}

TEST(LikeFastPaths, AgreeWithTheCodePointMatcher) {
  for (const std::string& pattern : Patterns()) {
    const LikePattern compiled(pattern, 0);
    for (const std::string& value : Values()) {
      EXPECT_EQ(compiled.Matches(value), compiled.MatchesByCodePoints(value))
          << "pattern '" << pattern << "' value '" << value << "'";
    }
  }
}

TEST(LikeFastPaths, AgreeWithAnEscapeCharacter) {
  for (const char* pattern : {"a!_b%", "%!%", "!%%", "%!_", "!!", "%![a]%"}) {
    const LikePattern compiled(pattern, '!');
    for (const char* value : {"a_b", "axb", "%x", "x%", "x_", "!", "[a]", "a_b  ", "\xC3!"}) {
      EXPECT_EQ(compiled.Matches(value), compiled.MatchesByCodePoints(value))
          << "pattern '" << pattern << "' value '" << value << "'";
    }
  }
}

TEST(LikeFastPaths, KeepTheCollationsAnswers) {
  EXPECT_TRUE(LikePattern("%.mp3", 0).Matches("SONG.MP3  "));
  EXPECT_TRUE(LikePattern("abc", 0).Matches("ABC   "));
  EXPECT_FALSE(LikePattern("abc ", 0).Matches("abc  "));
  EXPECT_TRUE(LikePattern("%Ä%", 0).Matches("xxäxx"));
  EXPECT_TRUE(LikePattern("%.xl%", 0).Matches("report.XLS"));
  EXPECT_FALSE(LikePattern("%.mp3", 0).Matches("song.mp3x"));
  EXPECT_TRUE(LikePattern("[_]", 0).Matches("_"));
  EXPECT_FALSE(LikePattern("[_]", 0).Matches("x"));
  EXPECT_TRUE(LikePattern("_", 0).Matches("ä"));
  EXPECT_TRUE(LikePattern("[^a]", 0).Matches("ä"));
  // Read by characters, "\xC3." is one character, so ".mp3" is not there.
  EXPECT_FALSE(LikePattern("%.mp3", 0).Matches("\xC3.mp3"));
}

TEST(LikePatternSet, IsTheOrOfItsPatterns) {
  const std::vector<std::string>& all = Patterns();
  for (size_t start = 0; start < all.size(); start += 5) {
    std::vector<std::optional<std::string>> group(all.begin() + start,
                                                  all.begin() + std::min(all.size(), start + 5));
    const LikePatternSet set(group);
    for (const std::string& value : Values()) {
      bool any = false;
      for (const auto& p : group) any = any || LikePattern(*p, 0).MatchesByCodePoints(value);
      EXPECT_EQ(set.Matches(value), std::optional<bool>(any)) << "value '" << value << "'";
    }
  }
}

TEST(LikePatternSet, SuffixPatternsTriedByTheirLastByteAgreeWithEachPattern) {
  // Suffixes sharing and differing in their last byte, one ending in a
  // blank, next to other shapes; values with trailing blanks and case.
  const std::vector<std::optional<std::string>> patterns = {
      "%.mp3", "%.MP2", "%3", "%a ", "%.xl%", "%x", "%[_]z", "%.C", "%.Mp3", "a%", "%b"};
  const LikePatternSet set(patterns);
  for (const std::string value :
       {"song.mp3", "SONG.MP3  ", "a.mp2 ", "x3", "a ", "a  ", "b  ", "report.xls", "zx", "ZX ",
        "a_z", "main.c", "main.C ", "", " ", "\xC3\xA4.mp3", ".mp3x", "q", "Q.MP3\t"}) {
    bool any = false;
    for (const auto& p : patterns) any = any || LikePattern(*p, 0).MatchesByCodePoints(value);
    EXPECT_EQ(set.Matches(value), std::optional<bool>(any)) << "value '" << value << "'";
  }
}

TEST(LikePatternSet, IsNullOnlyWhenNothingMatches) {
  const LikePatternSet set({std::string("%.mp3"), std::nullopt});
  EXPECT_EQ(set.Matches("a.mp3"), std::optional<bool>(true));
  EXPECT_EQ(set.Matches("a.doc"), std::nullopt);
  EXPECT_EQ(LikePatternSet({}).Matches("x"), std::optional<bool>(false));
}

TEST(CompareText, AsciiPrefixThenCharacters) {
  EXPECT_EQ(CompareText("abc", "ABC  "), 0);
  EXPECT_LT(CompareText("abc", "abd"), 0);
  EXPECT_GT(CompareText("abc", "ab"), 0);
  EXPECT_EQ(CompareText("xÄrger", "XäRGER"), 0);
  EXPECT_LT(CompareText("xa", "xä"), 0);
  EXPECT_GT(CompareText("xä", "xz"), 0);
  // An overlong "A" reads as "a" once past the ASCII prefix.
  EXPECT_EQ(CompareText("x\xC1\x81", "xa"), 0);
}

}  // namespace
}  // namespace tellwen::sqlserver
