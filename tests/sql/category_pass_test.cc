// The update's category step sets every flag column in one pass; the flags
// must be those of the per-category statements it replaces ("set c=0", then
// "set c=1 where condition"), row for row, on the same catalog: the default
// categories and patterns with brackets, underscores, single-character
// wildcards and mixed case, over names that end in blanks or differ only in
// case.
#include <gtest/gtest.h>

#include <random>

#include "common/category_list.h"
#include "tests/sql/catalog_fixture.h"

namespace tellwen::testing {
namespace {

const std::vector<std::string> kStems = {"song", "Makefile", "makefile", "a_b", "axb", "[x]",
                                         "x",    "report",   "IMG",      "",    "clip"};
const std::vector<std::string> kEnds = {".mp3", ".MP3", ".Mp3 ", ".doc",  ".xls", ".xlsx",
                                        ".jpg", ".avi", ".txt",  ".c",    ".h",   ".exe",
                                        ".zip", ".sav", "",      " ",     ".iso", ".mkv",
                                        ".cpp", ".Txt", ".db",   ".HTML", ".wav"};

class CategoryPass : public CatalogTest {};

TEST_F(CategoryPass, FlagsAreThoseOfThePerCategoryStatements) {
  const std::string categories =
      CKIVRegistry().GetValue("CategoriesEdit", kDefaultValueMode) +
      "|Tricky/*[x]*; a_b*; ?.txt; *.MP3 ; makefile*|Single/?|Upper/*.TXT";
  Set("CategoriesEdit", categories);
  const std::vector<Category> list = BuildCategoryList(categories);
  ASSERT_GE(list.size(), 13u);

  std::mt19937 rng(4242);
  std::uniform_int_distribution<size_t> stem(0, kStems.size() - 1), end(0, kEnds.size() - 1);
  std::uniform_int_distribution<int> computer(1, 5), size(0, 100000);
  std::vector<Entry> entries;
  for (int i = 0; i < 800; ++i) {
    Entry e;
    e.computer = "//PC" + std::to_string(computer(rng));
    e.share = "share" + std::to_string(computer(rng));
    e.parent = "music";
    e.folder = kStems[stem(rng)] + kEnds[end(rng)];
    e.file = kStems[stem(rng)] + std::to_string(i % 7) + kEnds[end(rng)];
    if (e.file.empty()) e.file = "x";
    e.size = size(rng);
    entries.push_back(e);
  }
  WriteIndex(entries);
  MustUpdate();

  // The same catalog's names flagged by the per-category statements.
  std::string reference = "select convert(int, id) as id, fn into check_flags from aall\n";
  std::string columns;
  for (const Category& c : list) {
    reference += "alter table check_flags add " + c.column + " tinyint NULL\n";
    columns += ", " + c.column;
  }
  for (const Category& c : list) {
    reference += " update check_flags set " + c.column + "=0 \n";
    reference += "update check_flags set " + c.column + "=1 where " + c.condition + "\n";
  }
  SqlResult made = RunSql(reference, 0, SqlCaller::kQueryRowReader);
  ASSERT_FALSE(made.error) << made.error_text;

  const int width = 1 + static_cast<int>(list.size());
  const SqlRows one_pass =
      Query("select convert(int, id) as id" + columns + " from aall order by id", width);
  const SqlRows per_category =
      Query("select id" + columns + " from check_flags order by id", width);
  ASSERT_GT(one_pass.size(), entries.size());  // files, and the folders' and shares' rows
  EXPECT_EQ(one_pass, per_category);
  // Every category flags something and leaves something unflagged.
  for (const Category& c : list) {
    const std::string flagged = One("select count(*) from aall where " + c.column + " = 1");
    EXPECT_NE(flagged, "0") << c.column << " " << c.condition;
    EXPECT_NE(flagged, std::to_string(one_pass.size())) << c.column;
  }
}

}  // namespace
}  // namespace tellwen::testing
