#include "query/text_utils.h"

#include <gtest/gtest.h>

#include "base/int_text.h"
#include "query/escape.h"

namespace tellwen::query {
namespace {

TEST(FormatSizeKb, TruncatesToTheUnitOfEachDigitCount) {
  const struct {
    const char* kb;
    const char* text;
  } cases[] = {{"0", "&nbsp;&lt;1Kb"},           {"7", "&nbsp;7Kb"},
               {"999", "&nbsp;999Kb"},           {"1000", "&nbsp;1.0Mb"},
               {"1234", "&nbsp;1.2Mb"},          {"1999", "&nbsp;1.9Mb"},  // never rounds up
               {"12345", "&nbsp;12.3Mb"},        {"123456", "&nbsp;123Mb"},
               {"1234567", "&nbsp;1.23Gb"},      {"12345678", "&nbsp;12.3Gb"},
               {"123456789", "&nbsp;123Gb"},     {"1234567890", "&nbsp;1.23Tb"},
               {"12345678901", "&nbsp;12.3Tb"},  {"123456789012", "&nbsp;123Tb"},
               {"1234567890123", "&nbsp;1234Tb"}};
  for (const auto& c : cases) EXPECT_EQ(FormatSizeKb(c.kb), c.text) << c.kb;
}

TEST(Escaping, UrlDecodeUndoesEncodingAndPlus) {
  EXPECT_EQ(UrlDecode("a%20b+c%26d%3d"), "a b c&d=");
  EXPECT_EQ(UrlDecode(UrlEncode("x&y=z %\x01")), "x&y=z %\x01");
  // A "%" without two hexadecimal digits stays.
  EXPECT_EQ(UrlDecode("100%"), "100%");
  EXPECT_EQ(UrlDecode("%4"), "%4");
  EXPECT_EQ(UrlDecode("%zz"), "%zz");
}

TEST(TextHelpers, PadSplitTrimReplace) {
  EXPECT_EQ(PadLeft("42", 5, '0'), "00042");
  EXPECT_EQ(PadLeft("123456", 3), "123456");
  EXPECT_EQ(SplitText("|a||b|", '|'), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitText("", ' ').empty());
  EXPECT_EQ(TrimChar("  a b  ", ' '), "a b");
  EXPECT_EQ(TrimChar("    ", ' '), "");
  // Scanning goes on after the replacement, so its own text is not replaced again.
  EXPECT_EQ(ReplaceAll("a[b[", "[", "[[]"), "a[[]b[[]");
  EXPECT_EQ(ZeroPadded(7, 7), "0000007");
}

TEST(TextHelpers, LeadingIntReadsALeadingNumberOnly) {
  EXPECT_EQ(LeadingInt("12x"), 12);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt(" -5"), -5);
  EXPECT_EQ(LeadingInt("99999999999999"), 2147483647);
  EXPECT_EQ(LeadingInt("-99999999999999"), -2147483647 - 1);
  EXPECT_TRUE(IsDigits("0123"));
  EXPECT_FALSE(IsDigits(""));
  EXPECT_FALSE(IsDigits("1 "));
}

TEST(TextHelpers, ParseDigitsTakesDigitsOnlyUpToItsBound) {
  std::uint64_t value = 7;
  EXPECT_TRUE(ParseDigits("007", 3, &value));
  EXPECT_EQ(value, 7u);
  EXPECT_TRUE(ParseDigits("999999999999999999", 99, &value));  // 18 digits always fit
  EXPECT_EQ(value, 999999999999999999u);
  for (const char* bad : {"", "1234", "+1", "-1", " 1", "1 ", "1a", "9999999999999999999"})
    EXPECT_FALSE(ParseDigits(bad, bad[0] == '9' ? 99 : 3, &value)) << bad;
  EXPECT_EQ(value, 999999999999999999u);  // untouched by a refusal
}

}  // namespace
}  // namespace tellwen::query
