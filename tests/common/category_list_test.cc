#include "common/category_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/kiv_registry.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;

TEST(CategoryPattern, EscapesLikeSpecialsBeforeTurningWildcards) {
  EXPECT_THAT(ConvertCategoryPattern("*.mp3"), Optional(std::string("%.mp3")));
  EXPECT_THAT(ConvertCategoryPattern("a_b*"), Optional(std::string("a[_]b%")));
  EXPECT_THAT(ConvertCategoryPattern("[x]?.txt"), Optional(std::string("[[]x]_.txt")));
  EXPECT_THAT(ConvertCategoryPattern("makefile*.*"), Optional(std::string("makefile%.%")));
  EXPECT_THAT(ConvertCategoryPattern("a b-!$^&+=~@#,(){}"),
              Optional(std::string("a b-!$^&+=~@#,(){}")));
}

TEST(CategoryPattern, RefusesCharactersOutsideTheAllowedSet) {
  EXPECT_EQ(ConvertCategoryPattern("it's"), std::nullopt);  // a quote would end the literal
  EXPECT_EQ(ConvertCategoryPattern("50%"), std::nullopt);
  EXPECT_EQ(ConvertCategoryPattern("a/b"), std::nullopt);
  EXPECT_EQ(ConvertCategoryPattern("a\\b"), std::nullopt);
  EXPECT_EQ(ConvertCategoryPattern(""), std::nullopt);
  EXPECT_THAT(ConvertCategoryPattern("*.\xc3\xa9t\xc3\xa9"),
              Optional(std::string("%.\xc3\xa9t\xc3\xa9")));
}

// "name column condition" of each category.
std::vector<std::string> Summary(const std::vector<Category>& list) {
  std::vector<std::string> out;
  for (const Category& category : list) {
    std::string line = category.name;
    line += " ";
    line += category.column;
    line += " ";
    line += category.condition;
    out.push_back(line);
  }
  return out;
}

TEST(CategoryList, BuildsConditionsFromTrimmedPatterns) {
  const std::vector<Category> list = BuildCategoryList("0|Audio/ *.mp3;*.wav ;  |Docs/*.doc");
  ASSERT_THAT(Summary(list), ElementsAre("Audio gugu1 (fn like '%.mp3') or (fn like '%.wav') ",
                                         "Docs gugu2 (fn like '%.doc') "));
  EXPECT_EQ(list[0].pattern_text, " *.mp3;*.wav ;  ");
}

TEST(CategoryList, CategoryWhosePatternsAllFailGetsNoColumnAndTheNextMovesUp) {
  EXPECT_THAT(
      Summary(BuildCategoryList("0|Good/*.a|Bad/it's; 100%|NoPatterns|Empty/|Next/*.n; bad'one")),
      ElementsAre("Good gugu1 (fn like '%.a') ", "Next gugu2 (fn like '%.n') "));
  EXPECT_TRUE(BuildCategoryList("0").empty());
  EXPECT_TRUE(BuildCategoryList("").empty());
}

TEST(CategoryList, DefaultSettingGivesTenCategories) {
  testing::TempDir dir;
  testing::ScopedEnv registry_root("TELLWEN_REGISTRY", dir.path());
  const std::vector<Category> list =
      BuildCategoryList(CKIVRegistry().GetValue("CategoriesEdit", kDefaultValueMode));
  ASSERT_EQ(list.size(), 10u);
  EXPECT_EQ(list[0].name, "Audio Files");
  EXPECT_EQ(list[9].name, "Source Code");
  EXPECT_EQ(list[9].column, "gugu10");
  EXPECT_THAT(list[8].condition, HasSubstr("(fn like '%.xl%') "));
  EXPECT_THAT(list[3].condition, HasSubstr("(fn like 'makefile%.%') "));
}

TEST(CategoryBatches, AddColumnsThenFlagsInOnePassThenIndexAndStatisticsPerCategory) {
  const std::vector<Category> list = BuildCategoryList("0|Kid's games/*.sav|Docs/*.doc");
  EXPECT_EQ(CategoryColumnsBatch(list),
            " alter table temp_aall add gugu1 tinyint NULL "
            " alter table temp_aall add gugu2 tinyint NULL ");
  EXPECT_EQ(CategoryColumnsBatch({}), "");

  EXPECT_EQ(CategoryUpdateBatch({}), "");
  const std::string batch = CategoryUpdateBatch(list);
  // Both flags in one statement, before any index or statistics row.
  const size_t zero = batch.find(
      " update temp_aall set gugu1=case when (fn like '%.sav') then 1 else 0 end, "
      "gugu2=case when (fn like '%.doc') then 1 else 0 end\n");
  const size_t one = batch.find("gugu2=case when");
  const size_t index = batch.find("create index i_gugu1 on temp_aall(gugu1) ");
  const size_t count =
      batch.find("insert into temp_stat_categories select 'count_gugu1', count(gugu1)");
  const size_t size = batch.find("'size_gugu1'");
  const size_t origs = batch.find("'origs_gugu1', '*.sav'");
  const size_t name = batch.find("'name_gugu1', 'gugu1'");
  const size_t oname = batch.find("'oname_gugu1', 'Kid''s games'");
  const size_t top =
      batch.find(" insert into temp_stat_categories(attr, value) select 'top_gugu1'");
  const size_t second = batch.find("create index i_gugu2 on temp_aall(gugu2) ");
  for (size_t pos : {zero, one, index, count, size, origs, name, oname, top, second}) {
    ASSERT_NE(pos, std::string::npos) << batch;
  }
  EXPECT_LT(zero, one);
  EXPECT_LT(one, index);
  EXPECT_LT(index, count);
  EXPECT_LT(count, size);
  EXPECT_LT(size, origs);
  EXPECT_LT(origs, name);
  EXPECT_LT(name, oname);
  EXPECT_LT(oname, top);
  EXPECT_LT(top, second);
}

}  // namespace
}  // namespace tellwen
