#include "indexer/core/index_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/user_messages.h"
#include "indexer/core/job_display.h"
#include "tests/base/recording_messages.h"
#include "tests/indexer/fake_network.h"
#include "tests/indexer/job_settings.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_sql.h"
#include "tests/support/fault_file_env.h"
#include "tests/support/file_text.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using tellwen::testing::FileText;
using tellwen::testing::PathExists;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find("\r\n", begin);
    if (end == std::string::npos) {
      lines.push_back("NO CRLF: " + text.substr(begin));
      break;
    }
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return lines;
}

class IndexJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.path();
    index_file_ = dir_ + "/kivtmp.txt";
    report_ = dir_ + "/kiv report.txt";
    testing::SetJobSettings(settings_, dir_, report_, "0");
    settings_.SetValue("SortedOutput", "1");
    settings_.SetValue("Levels", "5");
    settings_.SetValue("IndexerExcludeList", "0");
    settings_.SetValue("SqlNotReindexHours", "48");
  }

  std::unique_ptr<IndexJob> MakeJob() {
    IndexJobDependencies deps;
    deps.network = &net_;
    deps.settings = &settings_;
    deps.sql = &sql_;
    std::tm start = testing::LocalTime(2002, 6, 13, 12, 54, 14);
    clock_.epoch_seconds = std::mktime(&start);
    deps.clock = &clock_;
    auto job = std::make_unique<IndexJob>(std::move(deps));
    job->LoadSettings();
    return job;
  }

  // Starts a job (as /index) and polls it like the window's timer until its
  // end has been handled.
  void RunToEnd(IndexJob* job) {
    ASSERT_EQ(job->Start(true), StartResult::kStarted);
    while (!job->HandleEndIfIdle()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  testing::TempDir temp_;
  std::string dir_, index_file_, report_;
  testing::FakeNetwork net_;
  testing::FakeSettings settings_;
  testing::FakeSql sql_;
  testing::FakeClock clock_;
  testing::ScopedRecordingMessages messages_;  // questions answered "no"
};

TEST_F(IndexJobTest, SortedJobWritesFirstComputerFirstEvenWhenItFinishesLast) {
  net_.AddFile("\\\\A\\docs\\a.txt", 2048);
  net_.AddFolder("\\\\A\\docs\\empty");
  net_.AddFile("\\\\B\\pub\\sub\\b.txt", 5000);
  settings_.SetValue("IndexerIncludeList", "0|\\\\A|\\\\B|127.0.0.1-127.0.0.1");
  std::unique_ptr<IndexJob> job = MakeJob();
  // Computer 1 (A) waits until B and the address with nothing behind it are done.
  JobStatus* status = &job->status();
  net_.SetListingHook([status](const std::string& folder) {
    if (folder != "\\\\A\\docs") return;
    for (int i = 0; i < 2000 && status->computers_done < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  RunToEnd(job.get());
  EXPECT_EQ(status->computers_done, 3);
  EXPECT_THAT(Lines(FileText(index_file_)),
              ElementsAre("//A\tdocs\t\t\ta.txt\t2", "//A\tdocs\t\tempty\t*\t0",
                          "//B\tpub\t\tsub\tb.txt\t4", "//B\tpub\t\t\t*\t0"));
  EXPECT_THAT(Lines(FileText(report_)), ElementsAre("\\\\A\\docs\\a.txt", "\\\\A\\docs\\empty\\*",
                                                    "\\\\B\\pub\\sub\\b.txt", "\\\\B\\pub\\*"));
  EXPECT_EQ(status->files_found, 4);  // entries dumped, markers included
  EXPECT_EQ(status->computers_queued, 3);
  EXPECT_EQ(settings_.GetValue("NumberOfIndexedFiles"), "4 files indexed");
  EXPECT_EQ(settings_.GetValue("DataOfTheIndexForDB"), "last index on 13-Jun-2002");
  EXPECT_EQ(settings_.GetValue("LastIndexData"), "2002-06-13 12:54:14");
  EXPECT_EQ(settings_.GetValue("LastSuccessfulScanTime"), "13 June 2002 at 12:54:14");
  EXPECT_EQ(SearchStateText(status->search_state), std::string("search done"));
  EXPECT_EQ(ScanStateText(status->scan_state), std::string("scanning done"));
  EXPECT_EQ(DumpStateText(status->dump_state), std::string("dump done"));
  EXPECT_THAT(status->WorkerTexts(), ElementsAre("idle", "idle", "idle"));
  EXPECT_FALSE(job->LastJobStopped());
}

TEST_F(IndexJobTest, StoppedJobKeepsStatusValuesAndPartialIndexFile) {
  for (const char* name :
       {"NumberOfIndexedFiles", "DataOfTheIndexForDB", "LastIndexData", "LastSuccessfulScanTime"}) {
    settings_.SetValue(name, "old");
  }
  for (int i = 0; i < 50; ++i) net_.AddFile("\\\\A\\s\\f" + std::to_string(i), 1);
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  settings_.SetValue("SortedOutput", "0");
  std::unique_ptr<IndexJob> job = MakeJob();
  IndexJob* raw = job.get();
  net_.SetListingHook([raw](const std::string&) { raw->RequestStop(); });
  RunToEnd(job.get());
  EXPECT_TRUE(job->LastJobStopped());
  EXPECT_FALSE(job->StopRequested());  // cleared at the end
  for (const char* name :
       {"NumberOfIndexedFiles", "DataOfTheIndexForDB", "LastIndexData", "LastSuccessfulScanTime"}) {
    EXPECT_EQ(settings_.GetValue(name), "old") << name;
  }
  EXPECT_TRUE(PathExists(index_file_));
  EXPECT_LE(Lines(FileText(index_file_)).size(), 1u);
}

TEST_F(IndexJobTest, IndexFileThatCannotBeWrittenWholeFailsTheJobWithoutStatusValues) {
  for (const char* name :
       {"NumberOfIndexedFiles", "DataOfTheIndexForDB", "LastIndexData", "LastSuccessfulScanTime"}) {
    settings_.SetValue(name, "old");
  }
  std::ofstream(index_file_, std::ios::binary) << "//OLD\ts\t\t\tf\t1\r\n";
  for (int i = 0; i < 3000; ++i) net_.AddFile("\\\\A\\s\\f" + std::to_string(i), 1);
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  tellwen::testing::FaultFileEnv env;
  env.suffix = ".partial";
  env.write_budget = 100;
  std::unique_ptr<IndexJob> job;
  {
    IndexJobDependencies deps;
    deps.network = &net_;
    deps.settings = &settings_;
    deps.sql = &sql_;
    deps.files = &env;
    job = std::make_unique<IndexJob>(std::move(deps));
    job->LoadSettings();
  }
  RunToEnd(job.get());
  EXPECT_FALSE(job->LastJobStopped());
  EXPECT_EQ(job->LastJobFailure(),
            "Cannot write the index file " + index_file_ +
                ": No space left on device\nThe earlier index file was kept.");
  for (const char* name :
       {"NumberOfIndexedFiles", "DataOfTheIndexForDB", "LastIndexData", "LastSuccessfulScanTime"}) {
    EXPECT_EQ(settings_.GetValue(name), "old") << name;
  }
  EXPECT_EQ(FileText(index_file_), "//OLD\ts\t\t\tf\t1\r\n");
  ASSERT_EQ(messages_->shown().size(), 1u);
  EXPECT_EQ(messages_->shown()[0], "The index job failed.\n" + job->LastJobFailure());

  // The next job starts afresh and succeeds.
  env.write_budget = static_cast<size_t>(-1);
  RunToEnd(job.get());
  EXPECT_EQ(job->LastJobFailure(), "");
  EXPECT_EQ(Lines(FileText(index_file_)).size(), 3000u);
  EXPECT_EQ(settings_.GetValue("NumberOfIndexedFiles"), "3.000 files indexed");
}

TEST_F(IndexJobTest, WithoutReportOnlyTheIndexFileIsWrittenAndEveryEntryCounts) {
  settings_.SetValue("GenerateReportFile", "0");
  settings_.SetValue("SortedOutput", "0");
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  net_.AddFile("\\\\A\\s\\1", 1);
  net_.AddFolder("\\\\A\\s\\empty");
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  EXPECT_FALSE(PathExists(report_));
  EXPECT_EQ(Lines(FileText(index_file_)).size(), 2u);
  EXPECT_EQ(job->status().files_found, 2);
  EXPECT_EQ(settings_.GetValue("NumberOfIndexedFiles"), "2 files indexed");
}

TEST_F(IndexJobTest, WithoutDatabaseNoIndexFileAndNoStatusValues) {
  settings_.SetValue("AutomaticallyInsertIntoDatabase", "0");
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  net_.AddFile("\\\\A\\s\\1", 1);
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  EXPECT_FALSE(PathExists(index_file_));
  EXPECT_THAT(Lines(FileText(report_)), ElementsAre("\\\\A\\s\\1"));
  EXPECT_FALSE(settings_.Has("NumberOfIndexedFiles"));
}

TEST_F(IndexJobTest, TheScanAccountIsReadAtStartAndRefusalsEndTheReport) {
  net_.AddFile("\\\\A\\docs\\a.txt", 2048);
  net_.AddFile("\\\\B\\pub\\b.txt", 2048);
  net_.RequireAccount("\\\\A", "scan", "pw");
  net_.RequireAccount("\\\\B", "other", "x");
  settings_.SetValue("IndexerIncludeList", "0|\\\\A|\\\\B");
  const std::string file = dir_ + "/scan.credentials";
  std::ofstream(file) << "username = scan\npassword = pw\n";
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  std::unique_ptr<IndexJob> job = MakeJob();
  EXPECT_EQ(job->Start(true), StartResult::kNoScanAccount);
  EXPECT_THAT(messages_->shown(),
              ElementsAre(file + " is readable by other accounts; make it 0600"));
  EXPECT_FALSE(job->Running());

  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  RunToEnd(job.get());
  EXPECT_THAT(Lines(FileText(index_file_)), ElementsAre("//A\tdocs\t\t\ta.txt\t2"));
  const std::string refusal = "\\\\B: access denied (guest and scan account refused)";
  EXPECT_THAT(Lines(FileText(report_)), ElementsAre("\\\\A\\docs\\a.txt", refusal));
  EXPECT_THAT(job->status().Refusals(), ElementsAre(refusal));
  EXPECT_EQ(Refresh(job->status(), std::chrono::steady_clock::now(), true).scan_state,
            "scanning done (1 access denied)");
  // Not a failure: the job ends as designed and records its scan.
  EXPECT_EQ(job->LastJobFailure(), "");
  EXPECT_EQ(settings_.GetValue("NumberOfIndexedFiles"), "1 files indexed");
}

TEST_F(IndexJobTest, WithKerberosTheTicketOfTheRunningAccountIsOfferedWithoutAFile) {
  const std::string me = getpwuid(geteuid())->pw_name;
  net_.AddFile("\\\\A\\docs\\a.txt", 1);
  net_.RequireAccount("\\\\A", me, "");
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  settings_.SetValue("ScanUseKerberos", "1");
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  EXPECT_THAT(Lines(FileText(index_file_)), ElementsAre("//A\tdocs\t\t\ta.txt\t0"));
  EXPECT_THAT(
      net_.ConnectionLog(),
      ElementsAre("add \\\\A guest/", "add \\\\A " + me + "/ kerberos", "cancel \\\\A forced"));
}

TEST_F(IndexJobTest, NoOutputAtAllAsksAndDoesNotStartOnNo) {
  settings_.SetValue("GenerateReportFile", "0");
  settings_.SetValue("AutomaticallyInsertIntoDatabase", "0");
  std::unique_ptr<IndexJob> job = MakeJob();
  EXPECT_EQ(job->Start(true), StartResult::kDeclined);
  EXPECT_THAT(messages_->asked(), ElementsAre(kNoOutputQuestion));
  EXPECT_FALSE(job->Running());
}

TEST_F(IndexJobTest, EmptyOutputFileNameRefusesToStart) {
  settings_.SetValue("OutputFile", "");
  std::unique_ptr<IndexJob> job = MakeJob();
  EXPECT_EQ(job->Start(true), StartResult::kInvalidOutputFile);
  EXPECT_THAT(messages_->shown(), ElementsAre(kInvalidOutputFileText));
}

TEST_F(IndexJobTest, ExistingIndexFileIsOverwrittenWithoutAskingOnlyInIndexRuns) {
  std::ofstream(index_file_) << "old line\r\n";
  std::unique_ptr<IndexJob> job = MakeJob();
  EXPECT_EQ(job->Start(false), StartResult::kDeclined);
  EXPECT_THAT(messages_->asked(), ElementsAre(kOverwriteIndexFileQuestion));
  RunToEnd(job.get());
  EXPECT_EQ(messages_->asked().size(), 1u);
  EXPECT_EQ(FileText(index_file_), "");
}

TEST_F(IndexJobTest, EmptyIncludeListWithoutEnumerationEndsWithNothing) {
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  EXPECT_EQ(FileText(index_file_), "");
  EXPECT_EQ(FileText(report_), "");
  EXPECT_EQ(settings_.GetValue("NumberOfIndexedFiles"), "0 files indexed");
  EXPECT_THAT(net_.ListedFolders(), IsEmpty());
}

TEST_F(IndexJobTest, EnumerationSkipsRecentlyIndexedAndExcludedComputers) {
  settings_.SetValue("MustEnumerateResourcesFromNetwork", "1");
  settings_.SetValue("IndexerExcludeList", "0|\\\\c");
  settings_.SetValue("SqlNotReindexHours", "12");
  sql_.set_rule([](const std::string&, int, SqlResult* result) { result->rows = {{"//B"}}; });
  net_.AddWorkgroup("WG", {"\\\\A", "\\\\b", "\\\\C"});
  net_.AddFile("\\\\A\\s\\a", 1024);
  net_.AddFile("\\\\B\\s\\b", 1024);
  net_.AddFile("\\\\C\\s\\c", 1024);
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  ASSERT_EQ(sql_.calls().size(), 1u);
  EXPECT_NE(sql_.calls()[0].batch.find("DATEADD(hh, -12, getdate())"), std::string::npos);
  EXPECT_THAT(Lines(FileText(index_file_)), ElementsAre("//A\ts\t\t\ta\t1"));
  EXPECT_EQ(job->status().computers_skipped, 2);
  EXPECT_EQ(job->status().computers_queued, 1);
}

TEST_F(IndexJobTest, SecondJobInTheSameProcessScansAgain) {
  settings_.SetValue("IndexerIncludeList", "0|\\\\A");
  net_.AddFile("\\\\A\\s\\a", 1024);
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  RunToEnd(job.get());
  EXPECT_THAT(Lines(FileText(index_file_)), ElementsAre("//A\ts\t\t\ta\t1"));
  EXPECT_EQ(job->status().computers_done, 1);
}

TEST_F(IndexJobTest, ManyComputersAcrossFifteenWorkersAllArriveInOrder) {
  std::string include = "0";
  for (int c = 0; c < 40; ++c) {
    std::string pc = "\\\\PC" + std::to_string(100 + c);
    include += "|" + pc;
    for (int f = 0; f < 25; ++f)
      net_.AddFile(pc + "\\s\\d" + std::to_string(f % 3) + "\\f" + std::to_string(f), f);
  }
  settings_.SetValue("IndexerIncludeList", include);
  settings_.SetValue("NumberOfThreads", "15");
  std::unique_ptr<IndexJob> job = MakeJob();
  RunToEnd(job.get());
  std::vector<std::string> lines = Lines(FileText(index_file_));
  ASSERT_EQ(lines.size(), 40u * 26u);  // 25 files and the share root's marker
  EXPECT_TRUE(std::is_sorted(
      lines.begin(), lines.end(),
      [](const std::string& a, const std::string& b) { return a.substr(0, 7) < b.substr(0, 7); }));
}

TEST(IndexSettingsRules, ThreadCountAndLevels) {
  EXPECT_EQ(ThreadCountFromStored(0), 3);
  EXPECT_EQ(ThreadCountFromStored(-1), 3);
  EXPECT_EQ(ThreadCountFromStored(26), 3);
  EXPECT_EQ(ThreadCountFromStored(25), 25);
  EXPECT_EQ(ThreadCountFromStored(1), 1);
  EXPECT_EQ(LevelsFromStored(5), 2000);
  EXPECT_EQ(LevelsFromStored(4), 4);
  EXPECT_EQ(LevelsFromStored(0), 0);
  EXPECT_EQ(IndexFilePath("/var/tmp/"), "/var/tmp/kivtmp.txt");
  EXPECT_EQ(IndexFilePath("/var/tmp"), "/var/tmp/kivtmp.txt");
  testing::FakeSettings settings;
  settings.SetValue("NumberOfThreads", " 7 threads");
  settings.SetValue("Levels", "5");
  IndexSettings s = ReadIndexSettings(settings);
  EXPECT_EQ(s.thread_count, 7);
  EXPECT_EQ(s.levels, 2000);
}

TEST(ScanStatusValues, GroupsThousandsWithDots) {
  for (auto [number, grouped] :
       {std::pair{0, "0"}, {999, "999"}, {12345, "12.345"}, {1234567, "1.234.567"}}) {
    EXPECT_EQ(GroupThousands(number), grouped) << number;
  }
}

}  // namespace
}  // namespace tellwen::indexer
