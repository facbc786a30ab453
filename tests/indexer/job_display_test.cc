#include "indexer/core/job_display.h"

#include <gtest/gtest.h>

#include "indexer/core/command_line.h"

namespace tellwen::indexer {
namespace {

TEST(JobDisplay, InitialFiguresBeforeAnyJob) {
  JobStatus status;
  JobFigures f = Refresh(status, std::chrono::steady_clock::now(), false);
  EXPECT_EQ(f.computers_queued_skipped, "0 (-0)");
  EXPECT_EQ(f.elapsed, "00:00:00");
  EXPECT_EQ(f.projected, "--:--:--");
  EXPECT_EQ(f.search_state, "no searching");
  EXPECT_EQ(f.scan_state, "no scanning");
  EXPECT_EQ(f.dump_state, "no dumping");
}

TEST(JobDisplay, ProjectsTotalTimeFromComputersDoneAndRaisesFilesToDumped) {
  JobStatus status;
  auto start = std::chrono::steady_clock::now();
  status.start_time = start;
  status.computers_queued = 10;
  status.computers_skipped = 2;
  status.computers_done = 0;
  status.files_found = 5;
  status.entries_dumped = 8;
  JobFigures f = Refresh(status, start + std::chrono::seconds(65), true);
  EXPECT_EQ(f.elapsed, "00:01:05");
  EXPECT_EQ(f.projected, "--:--:--");
  EXPECT_EQ(f.files_found, "8");
  EXPECT_EQ(status.files_found, 8);
  status.computers_done = 4;
  f = Refresh(status, start + std::chrono::seconds(3600), true);
  EXPECT_EQ(f.projected, "02:30:00");
  EXPECT_EQ(f.computers_queued_skipped, "10 (-2)");
  EXPECT_EQ(f.progress_range, 10);
  EXPECT_EQ(f.progress_position, 4);
  EXPECT_EQ(FormatDuration(100 * 3600 + 61), "100:01:01");
  EXPECT_EQ(ProgressLine(f),
            "threads 0/0 | computers 4 of 10 (-2) | files 8/8 | time 01:00:00 of 02:30:00 | "
            "no searching, no scanning, no dumping");
}

TEST(CommandLine, SwitchesAreComparedWhole) {
  CommandLine index = ParseCommandLine({"/index"});
  EXPECT_TRUE(index.index && index.silent && !index.update);
  CommandLine update = ParseCommandLine({"/updatedb"});
  EXPECT_TRUE(update.update && update.silent && !update.setup && !update.index);
  CommandLine setup = ParseCommandLine({"/setup"});
  EXPECT_TRUE(setup.update && setup.setup && setup.silent);
  EXPECT_TRUE(ParseCommandLine({" /index "}).index);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"/INDEX"}, {"/index", "/updatedb"}, {"index"}, {"/index2"}}) {
    CommandLine line = ParseCommandLine(args);
    EXPECT_FALSE(line.index || line.update || line.silent) << line.text;
  }
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  // --headless is no part of the compared text.
  CommandLine headless = ParseCommandLine({"--headless", "/index"});
  EXPECT_TRUE(headless.headless && headless.index);
  EXPECT_TRUE(ParseCommandLine({"/updatedb", "--headless"}).update);
  EXPECT_FALSE(ParseCommandLine({"/index"}).headless);
}

TEST(JobDisplay, ButtonsAndCloseFollowTheJobsPhase) {
  WindowButtons before = ButtonsFor(false, false, false);
  EXPECT_EQ(before.start_text, "Intranet &index");
  EXPECT_TRUE(before.start_enabled && before.update_enabled && before.exit_enabled);
  WindowButtons running = ButtonsFor(true, false, false);
  EXPECT_EQ(running.start_text, "&Stop");
  EXPECT_TRUE(running.start_enabled);
  EXPECT_FALSE(running.update_enabled || running.exit_enabled);
  WindowButtons stopping = ButtonsFor(true, true, true);
  EXPECT_EQ(stopping.start_text, "Stopping...");
  EXPECT_FALSE(stopping.start_enabled || stopping.update_enabled || stopping.exit_enabled);
  WindowButtons after = ButtonsFor(false, false, true);
  EXPECT_EQ(after.start_text, "Intranet &search");
  EXPECT_TRUE(after.start_enabled && after.update_enabled && after.exit_enabled);

  EXPECT_EQ(CloseRefusal(false, false), "");
  EXPECT_EQ(CloseRefusal(true, false), "Tellwen Indexer in progress. Please stop it first!");
  EXPECT_EQ(CloseRefusal(true, true), "Tellwen Indexer is stopping.\nPlease wait!");
}

}  // namespace
}  // namespace tellwen::indexer
