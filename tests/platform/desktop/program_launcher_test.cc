#include "platform/desktop/program_launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/temp_dir.h"

namespace tellwen::desktop {
namespace {

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  ::chmod(path.c_str(), 0755);
}

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 250 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::filesystem::exists(path);
}

TEST(StartInstalledProgram, RunsTheProgramOfTheInstallFolderWithItsArguments) {
  testing::TempDir dir;
  const std::string folder = dir.path() + "/";
  WriteScript(dir.path() + "/KIVIndexer", "echo \"$1\" > \"$(dirname \"$0\")/ran\"");
  ASSERT_TRUE(StartInstalledProgram(folder, "KIVIndexer", {"/index"}).ok());
  ASSERT_TRUE(WaitForFile(dir.path() + "/ran"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::string line;
  std::getline(std::ifstream(dir.path() + "/ran"), line);
  EXPECT_EQ(line, "/index");

  Status missing = StartInstalledProgram(folder, "KIVNothing");
  EXPECT_EQ(missing.code(), Status::Code::kNotFound);
  EXPECT_NE(missing.message().find("KIVNothing"), std::string::npos);
}

// The openers are scripts of a PATH of the test's own: no browser is started.
TEST(OpenLink, ReportsTheOpenersFailureAndTriesTheBrowserNext) {
  testing::TempDir dir;
  // Only the test's folder is searched (the scripts name their tools whole).
  testing::ScopedEnv path("PATH", dir.path());
  WriteScript(dir.path() + "/xdg-open", "echo \"$1\" > \"$(/usr/bin/dirname \"$0\")/xdg\"; exit 3");
  LinkOpenResult failed = OpenLink("http://127.0.0.1/kiv/");
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.exit_code, 3);  // no x-www-browser in this PATH
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/xdg"));

  WriteScript(dir.path() + "/x-www-browser", "exit 0");
  EXPECT_TRUE(OpenLink("http://127.0.0.1/kiv/").ok());

  WriteScript(dir.path() + "/xdg-open", "exit 0");
  EXPECT_TRUE(OpenLink("http://127.0.0.1/kiv/").ok());
  // An opener that keeps running is taken as started.
  WriteScript(dir.path() + "/slow-opener", "/bin/sleep 2");
  EXPECT_TRUE(RunOpener("slow-opener", "x", 100).ok());
  EXPECT_NE(RunOpener("no-such-opener-here", "x").spawn_error, 0);
}

}  // namespace
}  // namespace tellwen::desktop
