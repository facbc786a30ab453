// The catalog across updates: computers not found again, failures before and
// inside the swap, and runs killed at any step.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "common/update_state.h"
#include "indexer/core/update_sql.h"
#include "tests/sql/catalog_fixture.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {

using namespace ::tellwen::indexer;  // the update job under test
namespace {

// The update job's real executor, with one batch changed or cut short on cue.
class FaultySession : public UpdateSql {
 public:
  // Appends `extra` to the batch that contains `marker`.
  void AppendTo(const std::string& marker, const std::string& extra) {
    marker_ = marker;
    extra_ = extra;
  }
  // Kills the process (SIGKILL) right after batch number `index` (from 0)
  // has run, or right before it when `before` is set.
  void KillAt(int index, bool before) {
    kill_at_ = index;
    kill_before_ = before;
  }

  SqlResult Run(const std::string& batch, int column_count, SqlCaller caller) override {
    const int index = count_++;
    if (index == kill_at_ && kill_before_) raise(SIGKILL);
    std::string text = batch;
    if (!marker_.empty() && text.find(marker_) != std::string::npos) {
      const size_t commit = text.rfind("COMMIT TRAN");
      text.insert(commit == std::string::npos ? text.size() : commit, extra_ + "\n");
    }
    SqlResult result = UpdateSql::Run(text, column_count, caller);
    if (index == kill_at_) raise(SIGKILL);
    return result;
  }

 private:
  std::string marker_, extra_;
  int count_ = 0;
  int kill_at_ = -1;
  bool kill_before_ = false;
};

class CatalogLifecycle : public CatalogTest {
 protected:
  std::vector<std::string> Files() {
    return Column("select s1 + '/' + fn from aall where fn <> '' order by id");
  }
};

TEST_F(CatalogLifecycle, ComputerNotFoundAgainKeepsItsFilesUntilItExpires) {
  for (const char* expiry : {"336", "48"}) {
    SCOPED_TRACE(expiry);
    Set("SqlComputerExpireHours", expiry);
    Set("LastIndexData", "2002-02-10 12:00:00");
    WriteIndex({{"//PC1", "s", "", "d", "one.txt", 1},
                {"//PC2", "t", "x", "y", "two.txt", 2},
                {"//PC2", "t", "", "empty", "*", 0}});
    MustUpdate(/*setup_mode=*/true);
    // 100 hours later PC2 is not found.
    Set("LastIndexData", "2002-02-14 16:00:00");
    WriteIndex({{"//PC1", "s", "", "d", "one.txt", 1}});
    MustUpdate();
    if (std::string(expiry) == "336") {
      EXPECT_THAT(Query("select name, data from shares1 order by name", 2),
                  ElementsAre(ElementsAre("//PC1", "2002-02-14 16:00:00"),
                              ElementsAre("//PC2", "2002-02-10 12:00:00")));
      EXPECT_THAT(Files(), ElementsAre("//PC1/one.txt", "//PC2/two.txt"));
      // Shares and folders come back from the files; the empty folder does not.
      EXPECT_THAT(Column("select s2 + ':' + d1 + ':' + d2 from aall where s1 = '//PC2' and fn = '' "
                         "order by id"),
                  ElementsAre("t::", "t:x:y"));
      EXPECT_EQ(One("select value from stat where property = 'computers number:'"), "2");
      EXPECT_EQ(One("select value from stat where property = 'computers at last index:'"), "1");
    } else {
      EXPECT_THAT(Column("select name from shares1"), ElementsAre("//PC1"));
      EXPECT_THAT(Files(), ElementsAre("//PC1/one.txt"));
    }
  }
}

TEST_F(CatalogLifecycle, KeptComputerKeepsItsOldScanTimeAcrossUpdates) {
  Set("LastIndexData", "2002-02-10 12:00:00");
  WriteIndex({{"//PC1", "s", "", "", "one.txt", 1}, {"//PC2", "t", "", "", "two.txt", 2}});
  MustUpdate();
  Set("LastIndexData", "2002-02-12 12:00:00");
  WriteIndex({{"//PC1", "s", "", "", "one.txt", 1}});
  MustUpdate();
  // 340 hours after PC2 was last found it expires, although it was carried over.
  Set("LastIndexData", "2002-02-24 16:00:00");
  WriteIndex({{"//PC1", "s", "", "", "one.txt", 1}});
  MustUpdate();
  EXPECT_THAT(Column("select name from shares1"), ElementsAre("//PC1"));
}

TEST_F(CatalogLifecycle, FailureBeforeTheSwapLeavesTheLiveCatalogAndTheIndexFile) {
  Set("StopWebService", "1");
  Set("WebStatus", "yes");
  WriteIndex({{"//PC1", "s", "", "", "old.txt", 1}});
  MustUpdate();
  const SqlRows stat_before = Query("select property, value from stat order by id", 2);

  WriteIndex({{"//PC1", "s", "", "", "new.txt", 1}});
  FaultySession session;
  session.AppendTo("insert into temp_stat_filesize", "select convert(int, 'not a number')");
  EXPECT_EQ(Update(false, &session), 1);
  EXPECT_THAT(output_, HasSubstr("update failed at \"running statistics\""));
  EXPECT_TRUE(std::filesystem::exists(IndexFile()));
  EXPECT_THAT(Files(), ElementsAre("//PC1/old.txt"));
  EXPECT_EQ(Query("select property, value from stat order by id", 2), stat_before);
  EXPECT_EQ(Setting("WebStatus"), "yes");
  EXPECT_EQ(Setting("DataOfTheIndex"), "Never indexed");
  EXPECT_THAT(Log(), HasSubstr("job   : running statistics\r\n"));

  MustUpdate();  // the next run loads the same index file and finishes
  EXPECT_THAT(Files(), ElementsAre("//PC1/new.txt"));
}

TEST_F(CatalogLifecycle, FailureInsideTheSwapRollsTheWholeSwapBack) {
  WriteIndex({{"//PC1", "s", "", "", "old.txt", 1}});
  MustUpdate();
  WriteIndex({{"//PC1", "s", "", "", "new.txt", 1}});
  FaultySession session;
  // After every drop and rename but the commit.
  session.AppendTo("exec sp_rename 'temp_aall', 'aall'", "exec sp_rename 'no_such_table', 'x'");
  EXPECT_EQ(Update(false, &session), 1);
  EXPECT_THAT(output_, HasSubstr("update failed at \"switching to new database\""));
  EXPECT_THAT(Files(), ElementsAre("//PC1/old.txt"));
  EXPECT_EQ(Constant("f_stop"), One("select max(id) from aall"));
  EXPECT_EQ(One("select count(*) from stat"), "11");
  MustUpdate();
  EXPECT_THAT(Files(), ElementsAre("//PC1/new.txt"));
}

// The procedures are created again inside the swap's transaction: a failure
// after the last of them, at the commit, still rolls back the tables and the
// procedures together.
TEST_F(CatalogLifecycle, FailureAtTheSwapsCommitKeepsTheOldCatalogAndItsProcedures) {
  Set("CategoriesEdit", "0|Text/*.txt");
  WriteIndex({{"//PC1", "s", "", "d", "old.txt", 1}});
  MustUpdate();
  const std::string categories = Setting("CategoriesEditForWeb");
  Set("CategoriesEdit", "0|Text/*.txt|Docs/*.doc");
  WriteIndex({{"//PC1", "s", "", "d", "new.txt", 1}, {"//PC1", "s", "", "d", "two.txt", 1}});
  FaultySession session;
  session.AppendTo("COMMIT TRAN", "exec sp_rename 'no_such_table', 'x'");
  EXPECT_EQ(Update(false, &session), 1);
  EXPECT_THAT(output_, HasSubstr("update failed at \"DONT-commit switch\""));
  EXPECT_THAT(Files(), ElementsAre("//PC1/old.txt"));
  ExpectSearchAndBrowseWork(1);
  EXPECT_EQ(Setting("CategoriesEditForWeb"), categories);
  MustUpdate();
  EXPECT_THAT(Files(), ElementsAre("//PC1/new.txt", "//PC1/two.txt"));
  ExpectSearchAndBrowseWork(2);
}

// A run killed (SIGKILL) before or after any of its batches: the live tables
// stay whole with their procedures, the dead run is recognised and its
// settings put back without another update, and the next run finishes.
TEST_F(CatalogLifecycle, RunKilledAtAnyStepLeavesAUsableCatalogAndTheNextRunFinishes) {
  Set("StopWebService", "1");
  Set("WebStatus", "yes");
  Set("FirstPageInfo", "Welcome");
  Set("FirstPageInfoSeverity", "low");
  Set("CategoriesEdit", "0|Text/*.txt");
  WriteIndex({{"//PC1", "s", "", "d", "f0.txt", 1}});
  MustUpdate();
  int previous_files = 1;
  const int kBatches = 30 + 3;  // the tasks, one load batch, two category batches
  for (int step = -1; step < kBatches; ++step) {
    SCOPED_TRACE("killed " + std::string(step < 0 ? "before the first batch" : "after batch ") +
                 (step < 0 ? "" : std::to_string(step)));
    std::vector<Entry> entries;
    const int files = step + 3;
    for (int i = 0; i < files; ++i)
      entries.push_back({"//PC1", "s", "", "d", "f" + std::to_string(i) + ".txt", i});
    WriteIndex(entries);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      FaultySession session;
      session.KillAt(step < 0 ? 0 : step, step < 0);
      std::ostringstream ignored;
      RegistrySettings settings;
      RunUpdateJobHeadless(false, settings, &session, ignored);
      _exit(0);  // not reached when the kill came
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    // The live catalog is one whole catalog: the old one or the new one.
    const std::string count = One("select count(*) from aall where fn <> ''");
    EXPECT_TRUE(count == std::to_string(previous_files) || count == std::to_string(files)) << count;
    EXPECT_EQ(Constant("f_stop"), One("select max(id) from aall"));
    EXPECT_EQ(One("select value from stat where property = 'files number:'"), count);
    EXPECT_TRUE(std::filesystem::exists(IndexFile()));
    // The site works at once, before anything is repaired: the catalog has
    // its procedures, and they read it whole.
    ExpectSearchAndBrowseWork(std::stoi(count));
    // The dead run is recognised (its lock is free) and its settings put back.
    RegistrySettings settings;
    UpdateRecovery recovery = UpdateRecovery::kNothingLeft;
    ASSERT_TRUE(RecoverUnfinishedUpdate(UpdateStateFolder(), settings, &recovery).ok());
    EXPECT_EQ(recovery, UpdateRecovery::kPutBack);
    EXPECT_EQ(Setting("WebStatus"), "yes");
    EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
    EXPECT_EQ(Setting("FirstPageInfoSeverity"), "low");

    MustUpdate();
    EXPECT_EQ(One("select count(*) from aall where fn <> ''"), std::to_string(files));
    EXPECT_EQ(One("select count(*) from aall where gugu1 = 1"), std::to_string(files));
    EXPECT_EQ(Setting("WebStatus"), "yes");
    EXPECT_EQ(Setting("FirstPageInfo"), "Welcome");
    EXPECT_EQ(Query("spGetFullPathFileFromID 1", 4).size(), 1u);
    previous_files = files;
  }
}

}  // namespace
}  // namespace tellwen::testing
