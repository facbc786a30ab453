#include "indexer/core/scanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/indexer/fake_network.h"

namespace tellwen::indexer {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ScannerTest : public ::testing::Test {
 protected:
  ScannerTest() { shared_.stores.push_back(std::make_unique<EntryStore>()); }

  // The entries of one computer scan, as "path size".
  std::vector<std::string> Scan(const std::string& computer, int levels = 2000,
                                const net::NetAccount* scan_account = nullptr) {
    net::NetResource resource;
    resource.remote_name = computer;
    ScanComputer(ScanContext{&net_, &shared_, levels, scan_account}, resource, 0, 1);
    std::vector<std::string> out;
    Entry entry;
    while (shared_.stores[0]->Take(&entry) > 0) {
      out.push_back(entry.path + " " + std::to_string(entry.size));
    }
    return out;
  }

  testing::FakeNetwork net_;
  JobShared shared_;
};

TEST_F(ScannerTest, RecordsFilesAndMarksFoldersWithoutFiles) {
  net_.AddFile("\\\\PC\\docs\\a.txt", 1023);
  net_.AddFile("\\\\PC\\docs\\b.txt", 1024);
  net_.AddFolder("\\\\PC\\docs\\empty");
  // A share holding only folders, and a folder holding only a folder with files.
  net_.AddFile("\\\\PC\\media\\music\\rock\\song.mp3", 5000);
  EXPECT_THAT(Scan("\\\\PC"),
              ElementsAre("\\\\PC\\docs\\a.txt 0", "\\\\PC\\docs\\b.txt 1",
                          "\\\\PC\\docs\\empty\\* 0", "\\\\PC\\media\\music\\rock\\song.mp3 4",
                          "\\\\PC\\media\\music\\* 0", "\\\\PC\\media\\* 0"));
  EXPECT_EQ(shared_.status.files_found, 3);
}

TEST_F(ScannerTest, LevelsBoundTheDepthAndDeeperFoldersLeaveNoTrace) {
  net_.AddFile("\\\\PC\\s\\root.txt", 1);
  net_.AddFile("\\\\PC\\s\\d1\\one.txt", 1);
  net_.AddFile("\\\\PC\\s\\d1\\d2\\two.txt", 1);
  net_.AddFolder("\\\\PC\\s\\d1\\d2\\d3");
  EXPECT_THAT(Scan("\\\\PC", 0), ElementsAre("\\\\PC\\s\\root.txt 0"));
  EXPECT_THAT(Scan("\\\\PC", 1), ElementsAre("\\\\PC\\s\\root.txt 0", "\\\\PC\\s\\d1\\one.txt 0"));
  EXPECT_THAT(Scan("\\\\PC", 2000),
              ElementsAre("\\\\PC\\s\\root.txt 0", "\\\\PC\\s\\d1\\one.txt 0",
                          "\\\\PC\\s\\d1\\d2\\two.txt 0", "\\\\PC\\s\\d1\\d2\\d3\\* 0"));
}

TEST_F(ScannerTest, UnlistableFoldersAndUnreadableAttributesRecordNothing) {
  net_.AddFile("\\\\PC\\s\\locked\\secret.txt", 1);
  net_.AddFile("\\\\PC\\s\\odd.txt", 1);
  net_.AddFile("\\\\PC\\s\\ok.txt", 2048);
  net_.FailListing("\\\\PC\\s\\locked");
  net_.FailAttributes("\\\\PC\\s\\odd.txt");
  net_.AddShare("\\\\PC\\denied");
  net_.FailListing("\\\\PC\\denied");
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\s\\ok.txt 2"));
}

TEST_F(ScannerTest, SkipsNamesThatCannotBePartOfAPath) {
  net_.AddFile("\\\\PC\\s\\good.txt", 1);
  net_.AddFile("\\\\PC\\s\\a/b.txt", 1);  // a hostile server's name
  net_.AddFile("\\\\PC\\s\\x\\y\\z.txt", 1);
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\s\\good.txt 0", "\\\\PC\\s\\x\\y\\z.txt 0",
                                          "\\\\PC\\s\\x\\* 0"));
}

TEST_F(ScannerTest, WalksSharesInServerOrderSkippingContainersAndHiddenOnesIncluded) {
  net_.AddFile("\\\\PC\\zeta\\z.txt", 1);
  net_.AddFile("\\\\PC\\alpha$\\a.txt", 1);
  net_.AddFile("\\\\PC\\dfs\\d.txt", 1);
  net_.MarkShareAsContainer("\\\\PC\\dfs");
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\zeta\\z.txt 0", "\\\\PC\\alpha$\\a.txt 0"));
  EXPECT_THAT(net_.ConnectionLog(), ElementsAre("add \\\\PC guest/", "cancel \\\\PC forced"));
}

TEST_F(ScannerTest, ComputerRefusingEnumerationIsSkipped) {
  net_.AddFile("\\\\PC\\s\\a.txt", 1);
  net_.RefuseComputerEnum("\\\\PC");
  EXPECT_THAT(Scan("\\\\PC"), IsEmpty());
  // The guest connection made for the refused enumeration is cancelled too.
  EXPECT_THAT(net_.ConnectionLog(), ElementsAre("add \\\\PC guest/", "cancel \\\\PC forced"));
  EXPECT_THAT(Scan("\\\\NOSUCH"), IsEmpty());
  EXPECT_THAT(net_.ListedFolders(), IsEmpty());
}

TEST_F(ScannerTest, GuestFirstThenTheScanAccountAndEveryRefusalSaid) {
  net_.AddFile("\\\\NAS\\docs\\a.txt", 1);
  net_.AddFile("\\\\NAS\\docs\\sub\\b.txt", 1);
  net_.AddFile("\\\\NAS\\locked\\c.txt", 1);
  net_.AddFile("\\\\NAS\\C$\\d.txt", 1);
  net_.RequireAccount("\\\\NAS", "scan", "pw");
  net_.RefuseShare("\\\\NAS\\locked");
  net_.RefuseShare("\\\\NAS\\C$");
  const net::NetAccount scan{"scan", "pw", "OFFICE", false};
  // The account reads the whole computer; a refused share is said, a
  // refused administrative share is not.
  EXPECT_THAT(Scan("\\\\NAS", 2000, &scan),
              ElementsAre("\\\\NAS\\docs\\a.txt 0", "\\\\NAS\\docs\\sub\\b.txt 0"));
  EXPECT_THAT(net_.ConnectionLog(),
              ElementsAre("add \\\\NAS guest/", "add \\\\NAS scan/pw", "cancel \\\\NAS forced"));
  EXPECT_THAT(shared_.status.Refusals(),
              ElementsAre("\\\\NAS\\locked: access denied (guest and scan account refused)"));

  // A wrong password, and no account at all: the computer itself is refused.
  const net::NetAccount wrong{"scan", "nope", "", false};
  shared_.status.ClearRefusals();
  EXPECT_THAT(Scan("\\\\NAS", 2000, &wrong), IsEmpty());
  EXPECT_THAT(Scan("\\\\NAS"), IsEmpty());
  EXPECT_THAT(shared_.status.Refusals(),
              ElementsAre("\\\\NAS: access denied (guest and scan account refused)",
                          "\\\\NAS: access denied (guest refused)"));
  EXPECT_EQ(shared_.status.refusals(), 2);
}

TEST_F(ScannerTest, StopEndsTheListingAfterTheCurrentEntry) {
  net_.AddFile("\\\\PC\\s\\1.txt", 1);
  net_.AddFile("\\\\PC\\s\\sub\\x.txt", 1);
  net_.AddFile("\\\\PC\\s\\2.txt", 1);
  net_.AddFile("\\\\PC\\t\\3.txt", 1);
  net_.SetListingHook([this](const std::string& folder) {
    if (folder == "\\\\PC\\s\\sub") shared_.stop = true;
  });
  // The folder being listed ends (and, holding no file yet, gets its marker);
  // its parent ends after the entry it was on, and no further share is walked.
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\s\\1.txt 0", "\\\\PC\\s\\sub\\* 0"));
  EXPECT_THAT(net_.ListedFolders(), ElementsAre("\\\\PC\\s", "\\\\PC\\s\\sub"));
}

TEST_F(ScannerTest, LinksBackUpThePathAreNotEnteredAgain) {
  // s holds "self" (a link to s itself); s\\a holds "up" (to s) and "loop"
  // (to a); s\\b holds a link to a, which is no ancestor and is walked.
  net_.GiveFileIds();
  net_.AddFile("\\\\PC\\s\\top.txt", 1);
  net_.AddFile("\\\\PC\\s\\a\\in_a.txt", 1);
  net_.AddFolderLink("\\\\PC\\s\\self", "\\\\PC\\s");
  net_.AddFolderLink("\\\\PC\\s\\a\\up", "\\\\PC\\s");
  net_.AddFolderLink("\\\\PC\\s\\a\\loop", "\\\\PC\\s\\a");
  net_.AddFolderLink("\\\\PC\\s\\b\\to_a", "\\\\PC\\s\\a");
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\s\\top.txt 0", "\\\\PC\\s\\a\\in_a.txt 0",
                                          "\\\\PC\\s\\b\\to_a\\in_a.txt 0", "\\\\PC\\s\\b\\* 0"));
  // Each distinct way into a folder is listed once: s, a, b, b\\to_a.
  EXPECT_EQ(net_.ListedFolders().size(), 4u);
}

TEST_F(ScannerTest, LinkFoundOnlyByTheFolderItselfIsLeftAtOnce) {
  // The entry carries no id (the attributes call does not tell it); the
  // listing's "." entry does, and the loop ends after one look.
  net_.GiveFileIds();
  net_.AddFile("\\\\PC\\s\\a\\in_a.txt", 1);
  net_.AddFolderLink("\\\\PC\\s\\a\\again", "\\\\PC\\s\\a");
  net_.FailAttributes("\\\\PC\\s\\a\\again");  // unreadable: taken for a folder, id 0
  EXPECT_THAT(Scan("\\\\PC"), ElementsAre("\\\\PC\\s\\a\\in_a.txt 0", "\\\\PC\\s\\* 0"));
  EXPECT_EQ(net_.ListedFolders().size(), 3u);  // s, a, a\\again
}

TEST(ScanNames, UsableNames) {
  EXPECT_TRUE(IsUsableName("a b"));
  EXPECT_TRUE(IsUsableName("...x"));
  EXPECT_FALSE(IsUsableName(""));
  EXPECT_FALSE(IsUsableName("."));
  EXPECT_FALSE(IsUsableName(".."));
  EXPECT_FALSE(IsUsableName("a\\b"));
  EXPECT_FALSE(IsUsableName("a/b"));
}

}  // namespace
}  // namespace tellwen::indexer
