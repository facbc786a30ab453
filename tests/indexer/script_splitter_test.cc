#include "indexer/core/script_splitter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/update_script_template.h"

namespace tellwen::indexer {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::vector<std::string> Names(const std::vector<ScriptTask>& tasks) {
  std::vector<std::string> names;
  for (const ScriptTask& task : tasks) names.push_back(task.name);
  return names;
}

ScriptPlaceholders Values() {
  return {.tmpfolder = "/tmp/x/",
          .database = "kiv",
          .indexdata = "2002-06-13 12:54:14",
          .loginuser = "sa",
          .maxhours = "336"};
}

TEST(ScriptSplitter, DropsHeaderAndEmptyTasksAndKeepsLineFeeds) {
  const std::string script =
      "-- header line\n"
      "select 'header'\n"
      "--#-first\n"
      "line one\n"
      "line two\n"
      "--#-empty\n"
      "--#-DONT-hidden\n"
      "-- a comment is a body too\n"
      "--#-\n"
      "select 'nameless'\n"
      "--#-last";
  const std::vector<ScriptTask> tasks = SplitScript(script, Values());
  ASSERT_THAT(Names(tasks), ElementsAre("first", "DONT-hidden"));
  EXPECT_EQ(tasks[0].body, "line one\nline two\n");
  EXPECT_EQ(tasks[1].body, "-- a comment is a body too\n");
  EXPECT_TRUE(IsHiddenTask(tasks[1].name));
  EXPECT_FALSE(IsHiddenTask(tasks[0].name));
  EXPECT_FALSE(IsHiddenTask("xDONT-"));
}

TEST(ScriptSplitter, ReplacesOnlyTheFirstOccurrenceOfEachPlaceholderPerLine) {
  const std::string script =
      "--#-t\n"
      "use [$$$database$$$] -- $$$database$$$\n"
      "$$$tmpfolder$$$ $$$loginuser$$$ $$$maxhours$$$ '$$$indexdata$$$'\n"
      "$$$maxhours$$$\n";
  const std::vector<ScriptTask> tasks = SplitScript(script, Values());
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].body,
            "use [kiv] -- $$$database$$$\n"
            "/tmp/x/ sa 336 '2002-06-13 12:54:14'\n"
            "336\n");
}

TEST(ScriptSplitter, ReplacementsAreNotRescannedForLaterPlaceholders) {
  // A value that looks like a later placeholder stays as it is: the order of
  // replacement is fixed, each placeholder replaced once.
  ScriptPlaceholders values = Values();
  values.tmpfolder = "$$$maxhours$$$";
  const std::vector<ScriptTask> tasks =
      SplitScript("--#-t\n$$$tmpfolder$$$ $$$maxhours$$$\n", values);
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_EQ(tasks[0].body, "336 $$$maxhours$$$\n");
}

TEST(UpdateScript, HasTheThirtyTasksInOrder) {
  const std::vector<ScriptTask> tasks = SplitScript(UpdateScriptTemplate(), Values());
  EXPECT_THAT(
      Names(tasks),
      ElementsAre("start indexing...", "inserting data into database", "DONT-lalala",
                  "creating shares table", "DONT-temp aall", "DONT-inserting categories",
                  "extracting shares", "extracting directories", "extracting files", "cleaning up",
                  "clustered index on main table", "create index on shares",
                  "create index on directories", "create index on files", "updating categories",
                  "DONT-temp constants", "DONT-monitor pings", "checking logs tables",
                  "DONT-preparing stats", "running statistics", "locking database",
                  "switching to new database", "reinsert stored procedures", "DONT-spStatCharts",
                  "DONT-spSearch", "DONT-spDir", "DONT-spGetFullPathFileFromID",
                  "DONT-commit switch", "terminating...", "DONT-zzzz"));
}

TEST(UpdateScript, HeaderOpensWithTheFixedLinesAndNeverReachesATask) {
  const std::string_view text = UpdateScriptTemplate();
  const std::string_view opening =
      "-- kivdb.dat\n--\n-- KIV internal file used for inserting data into MS SQL Server "
      "database\n-- DO NOT MODIFY\n";
  EXPECT_EQ(text.substr(0, opening.size()), opening);
  EXPECT_THAT(std::string(text), HasSubstr("-- $$$tmpfolder$$$ for temporary folder\n"
                                           "-- $$$loginuser$$$ for login user\n"
                                           "-- $$$database$$$ for database name\n"
                                           "-- $$$maxhours$$$ for the expire hours of a computer\n"
                                           "-- $$$indexdata$$$ for index data\n"
                                           "-- '--#-' for define the start of a task\n"));
  for (const ScriptTask& task : SplitScript(text, Values())) {
    EXPECT_THAT(task.body, Not(HasSubstr("DO NOT MODIFY"))) << task.name;
    EXPECT_THAT(task.body, Not(HasSubstr("$$$"))) << task.name << ": a placeholder was left";
  }
}

TEST(UpdateScript, ProceduresStandAloneInTheirTasks) {
  const std::vector<ScriptTask> tasks = SplitScript(UpdateScriptTemplate(), Values());
  for (const ScriptTask& task : tasks) {
    const size_t create = task.body.find("CREATE PROCEDURE");
    if (create == std::string::npos) continue;
    EXPECT_EQ(create, 0u) << task.name << ": CREATE PROCEDURE must open its batch";
    EXPECT_EQ(task.body.find("CREATE PROCEDURE", create + 1), std::string::npos) << task.name;
  }
  EXPECT_THAT(tasks[23].body, HasSubstr("CREATE PROCEDURE spStatCharts"));
  EXPECT_THAT(tasks[24].body, HasSubstr("CREATE PROCEDURE spSearch"));
  EXPECT_THAT(tasks[25].body, HasSubstr("CREATE PROCEDURE spDir"));
  EXPECT_THAT(tasks[26].body, HasSubstr("CREATE PROCEDURE spGetFullPathFileFromID"));
}

// The swap of the live tables and the re-created procedures are one
// transaction: begun by "switching to new database" (which also drops the
// procedures), committed by "DONT-commit switch" after the last procedure, and
// neither committed nor begun again by any task in between.
TEST(UpdateScript, SwapAndProceduresShareOneTransaction) {
  const std::vector<ScriptTask> tasks = SplitScript(UpdateScriptTemplate(), Values());
  ASSERT_EQ(tasks[21].name, "switching to new database");
  ASSERT_EQ(tasks[27].name, "DONT-commit switch");
  EXPECT_THAT(tasks[21].body, StartsWith("BEGIN TRAN\n"));
  EXPECT_THAT(tasks[21].body, Not(HasSubstr("COMMIT")));
  EXPECT_THAT(tasks[21].body, HasSubstr("drop procedure [dbo].[spSearch]"));
  EXPECT_THAT(tasks[21].body, HasSubstr("drop procedure [dbo].[spDir]"));
  for (int i = 22; i < 27; ++i) {
    EXPECT_THAT(tasks[i].body, Not(HasSubstr("TRAN\n"))) << tasks[i].name;
  }
  EXPECT_EQ(tasks[27].body, "COMMIT TRAN\n");
  for (size_t i = 0; i < tasks.size(); ++i) {
    if (i == 21 || i == 27) continue;
    EXPECT_THAT(tasks[i].body, Not(HasSubstr("drop procedure"))) << tasks[i].name;
  }
}

TEST(UpdateScript, PlaceholdersLandWhereTheyAreUsed) {
  const std::vector<ScriptTask> tasks = SplitScript(UpdateScriptTemplate(), Values());
  EXPECT_THAT(tasks[0].body, HasSubstr("use [kiv]"));
  EXPECT_THAT(tasks[3].body, HasSubstr("convert(datetime, '2002-06-13 12:54:14')"));
  EXPECT_THAT(tasks[3].body, HasSubstr("dateadd(hour, -336, @indexdata)"));
  EXPECT_THAT(tasks[9].body, HasSubstr("dbcc shrinkdatabase ([kiv])"));
  EXPECT_THAT(tasks[19].body, HasSubstr("convert(datetime, '2002-06-13 12:54:14')"));
  EXPECT_THAT(tasks[28].body, HasSubstr("dbcc shrinkdatabase ([kiv])"));
}

}  // namespace
}  // namespace tellwen::indexer
