#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using tellwen::testing::ScopedEnv;
using tellwen::testing::TempDir;

struct ToolRun {
  int exit_code;
  std::string out;
};

// Runs kivreg with a shell-quoted argument text; stdout only, or stdout and
// stderr together.
ToolRun Kivreg(const std::string& args, bool with_stderr = false) {
  std::string command =
      std::string(KIVREG_PATH) + " " + args + (with_stderr ? " 2>&1" : " 2>/dev/null");
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  std::array<char, 4096> buffer;
  while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class KivregTool : public ::testing::Test {
 protected:
  TempDir dir_;
  ScopedEnv env_{"TELLWEN_REGISTRY", dir_.path()};
};

TEST_F(KivregTool, GetPrintsAndStoresTheDefault) {
  ToolRun run = Kivreg("get Levels");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "5\n");
  EXPECT_EQ(Kivreg("list").out, "Levels=5\n");
}

TEST_F(KivregTool, DefaultPrintsTheTableValueAndStoresNothing) {
  EXPECT_EQ(Kivreg("set QueryCommandTimeout 300").exit_code, 0);
  EXPECT_EQ(Kivreg("default QueryCommandTimeout").out, "120\n");
  EXPECT_EQ(Kivreg("default Levels").out, "5\n");
  EXPECT_EQ(Kivreg("list").out, "QueryCommandTimeout=300\n");
}

TEST_F(KivregTool, SetAcceptsAnyTextAndListIsSorted) {
  EXPECT_EQ(Kivreg("set WebStatus yes").exit_code, 0);
  EXPECT_EQ(Kivreg("set FirstPageInfo 'Update at 5 | be patient'").exit_code, 0);
  EXPECT_EQ(Kivreg("set Empty ''").exit_code, 0);
  EXPECT_EQ(Kivreg("list").out, "Empty=\nFirstPageInfo=Update at 5 | be patient\nWebStatus=yes\n");
  EXPECT_EQ(Kivreg("delete WebStatus").exit_code, 0);
  EXPECT_EQ(Kivreg("get WebStatus").out, "no\n");
}

TEST_F(KivregTool, UsageErrorsExitWithTwoAndChangeNothing) {
  EXPECT_EQ(Kivreg("set").exit_code, 2);
  EXPECT_EQ(Kivreg("set Levels").exit_code, 2);
  EXPECT_EQ(Kivreg("").exit_code, 2);
  EXPECT_EQ(Kivreg("frobnicate").exit_code, 2);
  EXPECT_EQ(Kivreg("get").exit_code, 2);
  EXPECT_EQ(Kivreg("list").out, "");
  EXPECT_EQ(Kivreg("delete Nothing").exit_code, 1);
}

TEST_F(KivregTool, ValuesThatCannotBeReadAreErrorsAndAreLeftAsTheyAre) {
  ASSERT_EQ(Kivreg("set Levels 7").exit_code, 0);
  const std::string key = dir_.path() + "/HKEY_LOCAL_MACHINE/Software/KIV";
  std::filesystem::create_directory(key + "/WebStatus");
  std::ofstream(key + "/FirstPageInfo") << std::string((1 << 20) + 1, 'x');

  ToolRun folder = Kivreg("get WebStatus", true);
  EXPECT_EQ(folder.exit_code, 1);
  EXPECT_EQ(folder.out, "kivreg: cannot read WebStatus: Is a directory\n");
  ToolRun big = Kivreg("get FirstPageInfo", true);
  EXPECT_EQ(big.exit_code, 1);
  EXPECT_EQ(big.out, "kivreg: cannot read FirstPageInfo: Message too long\n");
  ToolRun long_name = Kivreg("get " + std::string(300, 'N'), true);
  EXPECT_EQ(long_name.exit_code, 1);
  EXPECT_EQ(long_name.out,
            "kivreg: cannot read " + std::string(300, 'N') + ": File name too long\n");
  EXPECT_TRUE(std::filesystem::is_directory(key + "/WebStatus"));
  EXPECT_EQ(std::filesystem::file_size(key + "/FirstPageInfo"), (1u << 20) + 1);

  ToolRun listed = Kivreg("list", true);
  EXPECT_EQ(listed.exit_code, 1);
  EXPECT_EQ(listed.out,
            "kivreg: cannot list WebStatus: Is a directory\n"
            "kivreg: cannot read FirstPageInfo: Message too long\n"
            "Levels=7\n");
}

}  // namespace
