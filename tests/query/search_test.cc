#include "query/search.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/query/search_form.h"

namespace tellwen::query {
namespace {

// The form's parameters; the search text is PlanSearch's own argument.
CommandParams Form() { return testing::SearchForm(kDefault, kDefault); }

TEST(SearchValidation, LengthLimits) {
  EXPECT_TRUE(PlanSearch(std::string(100, 'a'), Form(), "0").valid);
  const SearchPlan too_long = PlanSearch(std::string(101, 'a'), Form(), "0");
  EXPECT_FALSE(too_long.valid);
  EXPECT_FALSE(too_long.invalid_chars);
  const SearchPlan empty = PlanSearch("", Form(), "0");
  EXPECT_TRUE(empty.empty);
  EXPECT_FALSE(empty.valid);
}

TEST(SearchValidation, AllowedCharactersHoldNoQuoteOrSqlDelimiter) {
  const std::string allowed = ". -!$^&+=~@#,()[]{}_*?";
  for (int c = 1; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const bool alnum =
        (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    EXPECT_EQ(IsAllowedSearchChar(ch), alnum || allowed.find(ch) != std::string::npos) << c;
  }
  for (char bad : {'\'', '"', '/', '\\', ';', '%', '<', '>', '\n', '|'}) {
    const SearchPlan plan = PlanSearch(std::string("ab") + bad, Form(), "0");
    EXPECT_FALSE(plan.valid) << bad;
    EXPECT_TRUE(plan.invalid_chars) << bad;
  }
}

TEST(SearchValidation, RowRange) {
  CommandParams p = Form();
  p.recordto = "2899";
  EXPECT_TRUE(PlanSearch("abc", p, "0").valid);
  p.recordto = "2900";
  EXPECT_FALSE(PlanSearch("abc", p, "0").valid);
  p.recordfrom = "300";
  p.recordto = "299";
  EXPECT_FALSE(PlanSearch("abc", p, "0").valid);
  p.recordfrom = "-1";
  p.recordto = "10";
  EXPECT_FALSE(PlanSearch("abc", p, "0").valid);
  p.recordfrom = "999999999";
  p.recordto = "999999999";
  EXPECT_TRUE(PlanSearch("abc", p, "0").valid);
  p.recordfrom = "1000000000";  // ten characters
  EXPECT_FALSE(PlanSearch("abc", p, "0").valid);
  p = Form();
  p.dowait = "1234567890";
  EXPECT_FALSE(PlanSearch("abc", p, "0").valid);
  // Text that is not a number reads as 0.
  p = Form();
  p.recordfrom = "abc";
  const SearchPlan plan = PlanSearch("abc", p, "0");
  EXPECT_TRUE(plan.valid);
  EXPECT_EQ(plan.from, 0);
}

TEST(SearchValidation, PageSizeOutsideItsRangeIs200) {
  const struct {
    const char* text;
    int size;
  } cases[] = {{"4", 200},    {"5", 5},      {"50", 50},       {"2000", 2000},      {"2900", 2900},
               {"2901", 200}, {"text", 200}, {"default", 200}, {"99999999999", 200}};
  for (const auto& c : cases) EXPECT_EQ(PageSize(c.text), c.size) << c.text;
}

TEST(LikeExpressions, WordsJoinedByKindAndWildcardsTranslated) {
  EXPECT_EQ(BuildLikeExpression("fn", "abc def", 1),
            " '( fn like ''%abc%'' AND fn like ''%def%'' )' ");
  EXPECT_EQ(BuildLikeExpression("s2", "abc  def", 0),
            " '( s2 like ''%abc%'' OR s2 like ''%def%'' )' ");
  EXPECT_EQ(BuildLikeExpression("d2", "a b", 2), " '( d2 like ''a b'' )' ");
  EXPECT_EQ(PrepareMatchText("a_b[c]*?"), "a[_]b[[]c]%_");
  const SearchPlan plan = PlanSearch(
      "a?c",
      [] {
        CommandParams p = Form();
        p.searchkind = "exact";
        return p;
      }(),
      "0");
  EXPECT_EQ(plan.kind, 2);
  EXPECT_EQ(plan.qu3, " '( fn like ''a_c'' )' ");
}

// The {min, max} SizeBounds reads from the form.
std::pair<long long, long long> Bounds(const CommandParams& p) {
  long long min = -1, max = -1;
  SizeBounds(p, &min, &max);
  return {min, max};
}

TEST(SizeBounds, UnitsSwapAndNoBound) {
  constexpr long long kNoBound = 2147483647;
  EXPECT_EQ(Bounds(Form()), std::make_pair(0LL, kNoBound));
  const struct {
    const char* min;
    const char* min_unit;
    const char* max;
    const char* max_unit;
    std::pair<long long, long long> bounds;
  } cases[] = {
      {"10", "M", "1", "M", {1024, 10240}},
      {"0", "M", "0", "M", {0, kNoBound}},
      {"5", "K", "max", "M", {5, kNoBound}},
      // A huge number is limited before the unit multiplies it.
      {"99999999999", "M", "max", "M", {kNoBound / 1024 * 1024, kNoBound}},
  };
  for (const auto& c : cases) {
    CommandParams p = Form();
    p.sizebetween = "on";
    p.sizemin = c.min;
    p.sizeminunit = c.min_unit;
    p.sizemax = c.max;
    p.sizemaxunit = c.max_unit;
    EXPECT_EQ(Bounds(p), c.bounds) << c.min << c.min_unit << " to " << c.max << c.max_unit;
  }
}

TEST(SizeBounds, SizeRangeSearchesFilesOnly) {
  CommandParams p = Form();
  p.shares = "on";
  p.sizebetween = "on";
  p.sizemin = "0";
  p.sizemax = "0";
  const SearchPlan plan = PlanSearch("abc", p, "0");
  EXPECT_EQ(plan.shares, 0);
  EXPECT_EQ(plan.dirs, 0);
  EXPECT_EQ(plan.files, 1);
  EXPECT_EQ(plan.min_kb, 0);
  EXPECT_EQ(plan.max_kb, 2147483647);
}

TEST(CategoryClause, LastMatchingPieceWinsAndUnknownNamesGiveNone) {
  const std::string list = "0|Audio/*.mp3|Bad piece|Movies/*.avi|Audio/*.wav";
  std::string label = "files";
  EXPECT_EQ(CategoryClause(list, "Audio", &label), " and gugu4=1 ");
  EXPECT_EQ(label, "Audio");
  label = "files";
  EXPECT_EQ(CategoryClause(list, "Movies", &label), " and gugu3=1 ");
  label = "files";
  EXPECT_EQ(CategoryClause(list, "Nope", &label), "");
  EXPECT_EQ(label, "files");
  // The placeholder is never a category, even when it looks like one.
  EXPECT_EQ(CategoryClause("Audio/*.mp3", "Audio", &label), "");
}

TEST(Statements, SpSearchCallText) {
  CommandParams p = Form();
  p.pagesize = "50";
  p.recordfrom = "100";
  p.recordto = "149";
  p.fromcategory = "on";
  p.searchcategory = "Movies";
  const SearchPlan plan = PlanSearch("abc", p, "0|Movies/*.avi");
  EXPECT_EQ(SpSearchCall(plan, "abc", false, "2026-12-07 10:00:00", "1234567890"),
            "spSearch '100', '150', '0', '2147483647', 0, 1, 1,  '( s2 like ''%abc%'' )' ,  '( "
            "d2 like ''%abc%'' )' ,  '( fn like ''%abc%'' )' , '0', 'abc', '2026-12-07 "
            "10:00:00', '1234567890', ' and gugu1=1 ' ;");
  EXPECT_EQ(plan.files_label, "Movies");
}

TEST(Statements, SearchLogWritesTheValidatedFromNotTheReceivedText) {
  CommandParams p = Form();
  p.recordfrom = "5);drop";  // shorter than 10, reads as 5
  p.recordto = "10";
  p.src = "band";
  const SearchPlan plan = PlanSearch("abc", p, "0");
  ASSERT_TRUE(plan.valid);
  const std::string sql = SearchLogInsert(plan, "abc", "2026-12-07 10:00:00", 3, "127.0.0.1", 2);
  EXPECT_EQ(sql,
            "insert stat_searchs values ('2026-12-07 10:00:00', 'abc', 5, 3, 200, '127.0.0.1', 0, "
            "1, 1, 0, 2147483647, 2, 2)");
  EXPECT_EQ(sql.find("drop"), std::string::npos);
  EXPECT_EQ(FailureMark("0001000200"),
            "begin tran update stat_last_queries set query_status = 3 where query_id = "
            "'0001000200' commit tran");
}

TEST(PingFreshness, WithinTheRoundtripAndNotInTheFuture) {
  EXPECT_TRUE(PingResultsFresh(1000, 1000 + 60 * 60000 + 59999, 60));
  EXPECT_FALSE(PingResultsFresh(1000, 1000 + 61 * 60000, 60));
  EXPECT_FALSE(PingResultsFresh(5000, 4999, 60));
  EXPECT_EQ(ParseLong("86400000000"), 86400000000LL);
}

}  // namespace
}  // namespace tellwen::query
