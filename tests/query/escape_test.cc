// The site's escaper: each context's table.
#include "query/escape.h"

#include <gtest/gtest.h>

namespace tellwen::query {
namespace {

TEST(Escaping, HtmlEscapeLeavesQuotesAndTheAttributeFormDoesNot) {
  EXPECT_EQ(HtmlEscape("a<b>&\"'"), "a&lt;b&gt;&amp;\"'");
  EXPECT_EQ(HtmlEscapeSpaces("a b<"), "a&nbsp;b&lt;");
  EXPECT_EQ(HtmlAttrEscape("x\"y'z<&`"), "x&quot;y&#39;z&lt;&amp;&#96;");
}

TEST(Escaping, UrlEncodeKeepsOnlyLettersAndDigits) {
  EXPECT_EQ(UrlEncode(""), "");
  EXPECT_EQ(UrlEncode("aZ9"), "aZ9");
  EXPECT_EQ(UrlEncode("a b&c=d/\xC3\xA9"), "a%20b%26c%3Dd%2F%C3%A9");
}

TEST(Escaping, JsEscapeCannotEndTheStringTheAttributeOrTheScript) {
  EXPECT_EQ(JsEscape("o'brien"), "o\\'brien");
  EXPECT_EQ(JsEscape("a\\b"), "a\\\\b");
  EXPECT_EQ(JsEscape("\"</script>&\n"), "\\x22\\x3C/script\\x3E\\x26\\x0A");
  EXPECT_EQ(JsEscape("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST(Escaping, UrlPathKeepsSeparatorsAndTheMarkupFreeFormKeepsEntities) {
  EXPECT_EQ(Escape("\\\\PC 1\\a#b%c?d/\"'<>[]\xC3\xA9", Escaping::kUrlPath),
            "\\\\PC%201\\a%23b%25c%3Fd/%22%27%3C%3E%5B%5D%C3%A9");
  EXPECT_EQ(Escape("&nbsp;<b>x</b>", Escaping::kMarkupFree), "&nbsp;&lt;b&gt;x&lt;/b&gt;");
}

}  // namespace
}  // namespace tellwen::query
