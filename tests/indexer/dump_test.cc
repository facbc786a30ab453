#include "indexer/core/dump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/fault_file_env.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using ::testing::ElementsAre;

using tellwen::testing::FileText;
using tellwen::testing::PathExists;
class DumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.path();
    files_.index_file = dir_ + "/kivtmp.txt";
    files_.output_file = dir_ + "/report.txt";
    // Long pauses: the dump must be woken by the job's signals, not by time.
    shared_.timing.sorted_dump = std::chrono::milliseconds(60000);
    shared_.timing.unsorted_dump = std::chrono::milliseconds(60000);
  }

  void MakeStores(int n) {
    for (int i = 0; i < n; ++i) shared_.stores.push_back(std::make_unique<EntryStore>());
  }
  void Add(int worker, int computer, const std::string& path, uint32_t size = 0) {
    shared_.stores[worker]->Add(computer, path, size);
  }
  void EndComputer(int worker, int computer) {
    shared_.stores[worker]->Add(computer, kEndOfComputerPath, 0);
    shared_.signal.Notify();
  }
  void FinishScan() {
    shared_.scan_finished = true;
    shared_.signal.Notify();
  }
  // The index file's lines, each checked to end with CR LF.
  std::vector<std::string> IndexLines() {
    std::string text = FileText(files_.index_file);
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
      size_t end = text.find("\r\n", begin);
      EXPECT_NE(end, std::string::npos) << "last line without CR LF";
      if (end == std::string::npos) break;
      lines.push_back(text.substr(begin, end - begin));
      begin = end + 2;
    }
    return lines;
  }

  testing::TempDir temp_;
  std::string dir_;
  DumpFiles files_;
  JobShared shared_;
};

TEST_F(DumpTest, SortedWritesComputersInNumberOrderEvenWhenALaterOneFinishesFirst) {
  files_.sorted = true;
  MakeStores(2);
  std::thread dump([&] { RunDump(files_, &shared_); });
  // Computer 2 (worker 1) finishes before computer 1 (worker 0) has anything.
  Add(1, 2, "\\\\B\\s\\b1");
  Add(1, 2, "\\\\B\\s\\b2");
  EndComputer(1, 2);
  Add(0, 1, "\\\\A\\s\\a1");
  Add(1, 3, "\\\\C\\s\\c1");  // worker 1 went on with computer 3
  Add(0, 1, "\\\\A\\s\\a2");
  EndComputer(0, 1);
  EndComputer(1, 3);
  FinishScan();
  dump.join();
  EXPECT_THAT(IndexLines(),
              ElementsAre("//A\ts\t\t\ta1\t0", "//A\ts\t\t\ta2\t0", "//B\ts\t\t\tb1\t0",
                          "//B\ts\t\t\tb2\t0", "//C\ts\t\t\tc1\t0"));
  EXPECT_EQ(shared_.status.entries_dumped, 5);
}

TEST_F(DumpTest, SortedComputerWithoutEntriesDoesNotHoldOthersBack) {
  files_.sorted = true;
  MakeStores(2);
  EndComputer(0, 1);  // unreachable: only its end marker
  Add(1, 2, "\\\\B\\s\\x");
  EndComputer(1, 2);
  FinishScan();
  RunDump(files_, &shared_);
  EXPECT_THAT(IndexLines(), ElementsAre("//B\ts\t\t\tx\t0"));
}

TEST_F(DumpTest, SortedWritesEntriesThatArriveAfterAnEmptyFirstLook) {
  files_.sorted = true;
  MakeStores(1);
  std::thread dump([&] { RunDump(files_, &shared_); });
  // Whether the dump looks before or after these arrive, it must write them.
  Add(0, 1, "\\\\A\\s\\late");
  EndComputer(0, 1);
  FinishScan();
  dump.join();
  EXPECT_THAT(IndexLines(), ElementsAre("//A\ts\t\t\tlate\t0"));
}

TEST_F(DumpTest, UnsortedWritesEverythingAndNeverTheEndMarkers) {
  MakeStores(3);
  std::thread dump([&] { RunDump(files_, &shared_); });
  Add(2, 3, "\\\\C\\s\\c");
  EndComputer(2, 3);
  Add(0, 1, "\\\\A\\s\\*");
  EndComputer(0, 1);
  Add(1, 2, "\\\\B\\s\\b", 7);
  EndComputer(1, 2);
  FinishScan();
  dump.join();
  std::vector<std::string> lines = IndexLines();
  std::sort(lines.begin(), lines.end());
  EXPECT_THAT(lines, ElementsAre("//A\ts\t\t\t*\t0", "//B\ts\t\t\tb\t7", "//C\ts\t\t\tc\t0"));
  EXPECT_EQ(shared_.status.entries_dumped, 3);
}

TEST_F(DumpTest, StopEndsTheDumpAndLeavesTheRestUnwritten) {
  for (bool sorted : {false, true}) {
    files_.sorted = sorted;
    JobShared shared;
    shared.stores.push_back(std::make_unique<EntryStore>());
    shared.stores[0]->Add(1, "\\\\A\\s\\x", 0);
    shared.stop = true;
    RunDump(files_, &shared);
    EXPECT_EQ(shared.status.entries_dumped, 0) << sorted;
    EXPECT_EQ(FileText(files_.index_file), "") << "truncated, nothing written";
  }
}

TEST_F(DumpTest, WritesBothFilesAndGoesOnWhenOneCannotBeCreated) {
  files_.layout.dump_size = true;
  MakeStores(1);
  Add(0, 1, "\\\\A\\s\\d\\f.txt", 3);
  EndComputer(0, 1);
  FinishScan();
  RunDump(files_, &shared_);
  EXPECT_EQ(FileText(files_.index_file), "//A\ts\t\td\tf.txt\t3\r\n");
  EXPECT_EQ(FileText(files_.output_file), "\\\\A\\s\\d\\f.txt\t3\r\n");

  JobShared again;
  again.stores.push_back(std::make_unique<EntryStore>());
  again.stores[0]->Add(1, "\\\\A\\s\\g", 0);
  again.scan_finished = true;
  DumpFiles broken = files_;
  broken.index_file = dir_ + "/no/such/folder/kivtmp.txt";
  RunDump(broken, &again);
  EXPECT_EQ(FileText(files_.output_file), "\\\\A\\s\\g\t0\r\n");  // truncated and rewritten
  EXPECT_EQ(again.status.entries_dumped, 1);
}

TEST_F(DumpTest, IndexFileTakesItsNameOnlyWhenTheDumpEndedCleanly) {
  for (bool sorted : {false, true}) {
    for (bool stopped : {false, true}) {
      JobShared shared;
      shared.timing = shared_.timing;
      shared.stores.push_back(std::make_unique<EntryStore>());
      shared.stores[0]->Add(1, "\\\\A\\s\\f.txt", 1);
      shared.scan_finished = true;
      shared.stop = stopped;  // a stopped job's index file is kept as written
      DumpFiles files = files_;
      files.sorted = sorted;
      tellwen::testing::FaultFileEnv env;
      files.env = &env;
      RunDump(files, &shared);
      EXPECT_FALSE(shared.Failed());
      EXPECT_THAT(env.renamed, ElementsAre(files_.index_file + ".partial -> " + files_.index_file));
      EXPECT_TRUE(PathExists(files_.index_file));
      EXPECT_FALSE(PathExists(files_.index_file + ".partial"));
    }
  }
}

TEST_F(DumpTest, FailedIndexWriteEndsTheJobAndKeepsTheEarlierIndexFile) {
  std::ofstream(files_.index_file, std::ios::binary) << "//OLD\ts\t\t\tf\t1\r\n";
  for (bool sorted : {false, true}) {
    JobShared shared;
    shared.timing = shared_.timing;
    shared.stores.push_back(std::make_unique<EntryStore>());
    for (int i = 0; i < 100000; ++i) {
      shared.stores[0]->Add(1, "\\\\A\\s\\file" + std::to_string(i) + ".txt", 1);
    }
    shared.stores[0]->Add(1, kEndOfComputerPath, 0);
    shared.scan_finished = true;
    DumpFiles files = files_;
    files.sorted = sorted;
    tellwen::testing::FaultFileEnv env;
    env.suffix = ".partial";
    env.write_budget = 5000;
    files.env = &env;
    RunDump(files, &shared);
    EXPECT_TRUE(shared.Failed()) << sorted;
    EXPECT_TRUE(shared.Stopping());
    EXPECT_EQ(shared.Failure(), "Cannot write the index file " + files_.index_file +
                                    ": No space left on device\nThe earlier index file was kept.");
    EXPECT_LT(shared.status.entries_dumped, 1000) << "counted entries that were never written";
    EXPECT_EQ(FileText(files_.index_file), "//OLD\ts\t\t\tf\t1\r\n");
    EXPECT_FALSE(PathExists(files_.index_file + ".partial"));
    EXPECT_TRUE(env.renamed.empty());
  }
}

TEST_F(DumpTest, OutputFileOnAFullDiskFailsTheJob) {
  if (!PathExists("/dev/full")) GTEST_SKIP() << "this machine has no /dev/full";
  MakeStores(1);
  Add(0, 1, "\\\\A\\s\\f.txt", 3);
  EndComputer(0, 1);
  FinishScan();
  files_.output_file = "/dev/full";
  RunDump(files_, &shared_);
  EXPECT_TRUE(shared_.Failed());
  EXPECT_EQ(shared_.Failure(), "Cannot write the output file /dev/full: No space left on device");
  EXPECT_FALSE(PathExists(files_.index_file))
      << "a failed job's index file replaced the earlier one";
  EXPECT_FALSE(PathExists(files_.index_file + ".partial"));
}

TEST_F(DumpTest, FailedRenameFailsTheJob) {
  MakeStores(1);
  Add(0, 1, "\\\\A\\s\\f.txt", 3);
  FinishScan();
  tellwen::testing::FaultFileEnv env;
  env.rename_error = EACCES;
  files_.env = &env;
  RunDump(files_, &shared_);
  EXPECT_TRUE(shared_.Failed());
  EXPECT_THAT(shared_.Failure(), ::testing::HasSubstr("Permission denied"));
  EXPECT_FALSE(PathExists(files_.index_file));
}

}  // namespace
}  // namespace tellwen::indexer
