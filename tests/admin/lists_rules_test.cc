// The rules of the network lists, the categories and the quick links.
#include <gtest/gtest.h>

#include "admin/core/categories.h"
#include "admin/core/link_error_text.h"
#include "admin/core/network_lists.h"
#include "admin/core/quick_links_table.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"

namespace tellwen::admin {
namespace {

std::string Added(const std::string& text, const std::vector<std::string>& lines = {}) {
  std::string line;
  std::optional<Refusal> refusal =
      CheckNewEntry(text, EntryKind::kComputer, kIncludeListName, lines, &line);
  return refusal ? "refused: " + refusal->text : line;
}

TEST(NetworkEntries, ComputersAreUpperCasedPrefixedAndUnique) {
  EXPECT_EQ(Added("fileserver"), "\\\\FILESERVER");
  EXPECT_EQ(Added("\\FILESERVER"), "\\\\FILESERVER");
  EXPECT_EQ(Added("\\\\FILESERVER"), "\\\\FILESERVER");
  EXPECT_EQ(Added("\\\\"), "refused: Invalid server name.");
  EXPECT_EQ(Added("pc1|pc2"), "refused: Invalid server name.");  // would split the list
  EXPECT_EQ(Added(""), "refused: Enter a valid server to add to include list.");
  EXPECT_EQ(Added("\\\\fileserver", {"\\\\FILESERVER"}),
            "refused: Server '\\\\FILESERVER' already in include list.");
  std::string line;
  std::optional<Refusal> range = CheckNewEntry("", EntryKind::kRange, kExcludeListName, {}, &line);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->text, "Enter a valid range to add to exclude list.");
}

TEST(NetworkRanges, ButtonsMoveAndWidenTheClassC) {
  const Octets from = ParseAddress("192.168.0.77");
  AddressRange next = NextClassC(from, true, true);
  EXPECT_EQ(FormatAddress(next.from), "192.168.1.1");
  EXPECT_EQ(FormatAddress(next.to), "192.168.1.254");
  AddressRange previous = PreviousClassC(from, true, true);
  EXPECT_EQ(FormatAddress(previous.from), "192.168.255.1");
  EXPECT_EQ(FormatAddress(previous.to), "192.168.255.254");
  AddressRange whole = WholeClassC(ParseAddress("10.0.255.3"), false, false);
  EXPECT_EQ(FormatAddress(whole.from), "10.0.255.0");
  EXPECT_EQ(FormatAddress(whole.to), "10.0.255.255");
  EXPECT_EQ(FormatAddress(NextClassC(ParseAddress("10.0.255.3"), false, true).from), "10.0.0.0");
}

TEST(NetworkRanges, HugeRangesAskAndReversedOnesAreRefused) {
  RangeCheck limit = CheckRange({ParseAddress("10.0.0.0"), ParseAddress("10.1.134.160")});
  EXPECT_FALSE(limit.refusal);
  EXPECT_TRUE(limit.question.empty());
  EXPECT_EQ(limit.entry, "10.0.0.0 - 10.1.134.160");
  RangeCheck over = CheckRange({ParseAddress("10.0.0.0"), ParseAddress("10.1.134.161")});
  EXPECT_EQ(over.question,
            "IP range '10.0.0.0' - '10.1.134.161' is very huge (about 100001 hosts)!\nAre you "
            "sure you still want to add this range to include list?");
  EXPECT_FALSE(
      CheckRange({ParseAddress("0.0.0.0"), ParseAddress("255.255.255.255")}).question.empty());
  RangeCheck one = CheckRange({ParseAddress("192.168.5.20"), ParseAddress("192.168.5.20")});
  EXPECT_EQ(one.kind, EntryKind::kComputer);
  EXPECT_EQ(one.entry, "\\\\192.168.5.20");
  RangeCheck reversed = CheckRange({ParseAddress("10.0.1.0"), ParseAddress("10.0.0.255")});
  ASSERT_TRUE(reversed.refusal);
  EXPECT_EQ(reversed.refusal->text, "IP range '10.0.1.0' - '10.0.0.255' is invalid!");
}

TEST(NetworkSearchSettings, ListsRoundTripAndEmptyIsZero) {
  testing::FakeSettings settings;
  settings.SetValue("IndexerIncludeList", "0|\\\\FILESERVER|192.168.2.1 - 192.168.2.254");
  settings.SetValue("IndexerExcludeList", "0");
  NetworkSearch values = LoadNetworkSearch(settings);
  EXPECT_EQ(values.include,
            (std::vector<std::string>{"\\\\FILESERVER", "192.168.2.1 - 192.168.2.254"}));
  EXPECT_TRUE(values.exclude.empty());
  values.include.clear();
  values.exclude.push_back("\\\\PC1");
  StoreNetworkSearch(settings, values);
  EXPECT_EQ(settings.Stored("IndexerIncludeList"), "0");
  EXPECT_EQ(settings.Stored("IndexerExcludeList"), "0|\\\\PC1");
}

TEST(Categories, FieldsWithoutExactlyOneSlashAreDropped) {
  std::vector<CategoryRow> rows = ParseCategories("0|Images|A/B/C|Audio/*.mp3; *.wav|Empty/");
  EXPECT_EQ(rows, (std::vector<CategoryRow>{{"Audio", "*.mp3; *.wav"}, {"Empty", ""}}));
  EXPECT_EQ(CategoriesValue(rows), "0|Audio/*.mp3; *.wav|Empty/");
  EXPECT_EQ(CategoriesValue({}), "0");
}

std::string Checked(const std::string& name, const std::string& search,
                    const std::vector<std::string>& avoid = {}) {
  CategoryRow row;
  std::optional<CategoryRefusal> refusal = CheckCategory(name, search, avoid, &row);
  return refusal ? refusal->text : row.name + "/" + row.search;
}

TEST(Categories, ItemChecksComeInTheirOrder) {
  EXPECT_EQ(Checked("  Music ", " *.mp3;;*.ogg "), "Music/*.mp3;;*.ogg");
  EXPECT_EQ(Checked(" ", ""), "Category name cannot be empty.");
  EXPECT_EQ(Checked("Images", "", {"Images"}), "A category with that name already exists.");
  EXPECT_EQ(Checked("images", "*.png", {"Images"}), "images/*.png");
  EXPECT_EQ(Checked("Audio/Video", ""), "Search string cannot be empty.");
  EXPECT_EQ(Checked("Audio/Video", "*.avi"),
            "Name of the category contains illegal characters (characters '|', '/' and '\\' are "
            "not permitted).");
  EXPECT_EQ(Checked("C", ";;"), "Search string contains illegal characters.");
  EXPECT_EQ(Checked("C", "*.c%"), "Search string contains illegal characters.");
  EXPECT_EQ(Checked("C", "*.c|*.h"), "Search string contains illegal characters.");
  EXPECT_EQ(Checked("C", "makefile*.*; [a]_b?.c"), "C/makefile*.*; [a]_b?.c");
  CategoryRow row;
  std::optional<CategoryRefusal> refusal = CheckCategory("C", "*.c%", {}, &row);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, CategoryField::kSearch);
}

TEST(QuickLinksTable, CommitsEachRowAsOneQuotedStatement) {
  testing::FakeSql sql;
  sql.set_rule([](const std::string& batch, int, SqlResult* result) {
    if (batch == kQuickLinksSelect) result->rows = {{"4", "faq", "FAQ", "/faq"}};
    if (batch.rfind("select max(id)", 0) == 0) result->rows = {{"5"}};
    if (batch.find("broken") != std::string::npos) testing::FakeSql::Fail(result, "disk full");
  });
  QuickLinksTable table(sql);
  ASSERT_TRUE(table.Load().ok());
  ASSERT_EQ(table.rows().size(), 1u);
  EXPECT_TRUE(table.CommitRow(0).ok());  // nothing changed: no statement
  table.Edit(0, 1, "It's the FAQ");
  ASSERT_TRUE(table.CommitRow(0).ok());
  size_t added = table.AddRow();
  table.Edit(added, 0, "help");
  ASSERT_TRUE(table.CommitRow(added).ok());
  EXPECT_EQ(table.rows()[added].id, "5");
  std::vector<std::string> batches = sql.batches();
  ASSERT_EQ(batches.size(), 4u);
  EXPECT_EQ(batches[1],
            "update quick_links set word='faq', display='It''s the FAQ', link='/faq' where id=4");
  EXPECT_EQ(batches[2], "insert into quick_links (word, display, link) values ('help', '', '')");

  table.Edit(0, 2, "broken");
  Status failed = table.CommitRow(0);
  EXPECT_FALSE(failed.ok());
  EXPECT_NE(failed.message().find("disk full"), std::string::npos);
  EXPECT_EQ(table.rows()[0].link, "broken");  // kept as typed
  EXPECT_TRUE(table.rows()[0].changed);
  ASSERT_TRUE(table.DeleteRow(added).ok());
  EXPECT_EQ(sql.batches().back(), "delete from quick_links where id=5");
  EXPECT_EQ(table.rows().size(), 1u);
}

TEST(LinkErrorText, NamesTheKindOfFailure) {
  EXPECT_EQ(LinkErrorText({ENOENT, 0}),
            "Can't open link:\n\nThere is no application associated\nwith the given filename "
            "extension.");
  EXPECT_EQ(LinkErrorReason({0, 2}), "The specified file was not found.");
  EXPECT_EQ(LinkErrorReason({0, 4}), "Unknown Error (4) occurred.");
  EXPECT_EQ(LinkErrorReason({EACCES, 0}),
            "The operating system denied\naccess to the specified file.");
}

}  // namespace
}  // namespace tellwen::admin
