#include "platform/desktop/program_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace tellwen::desktop {
namespace {

TEST(RunProgram, FeedsStdinCollectsBothOutputsAndReportsTheExitCode) {
  const ProgramRun run =
      RunProgram({"sh", "-c", "tr a-z A-Z; echo oops >&2; exit 3"}, "crontab line\n");
  EXPECT_EQ(run.spawn_error, 0);
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.output, "CRONTAB LINE\noops\n");
  EXPECT_FALSE(run.ok());
  // Apart: the output is data, the errors are the program's words. Large
  // enough on both streams that reading one at a time would dead-lock.
  const ProgramRun apart = RunProgram(
      {"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' e >&2; tr a-z A-Z; echo oops >&2"},
      "crontab line\n", Capture::kApart);
  EXPECT_EQ(apart.output, "CRONTAB LINE\n");
  EXPECT_EQ(apart.errors, std::string(200000, 'e') + "oops\n");
}

TEST(RunProgram, ALargeInputToAProgramThatDoesNotReadItNeitherBlocksNorKills) {
  const ProgramRun run = RunProgram({"sh", "-c", "echo early; exit 0"}, std::string(1 << 20, 'x'));
  EXPECT_TRUE(run.ok());
  EXPECT_EQ(run.output, "early\n");
}

TEST(RunProgram, AMissingProgramIsASpawnError) {
  const ProgramRun run = RunProgram({"/nonexistent/tool"});
  EXPECT_EQ(run.spawn_error, ENOENT);
  EXPECT_FALSE(run.ok());
}

}  // namespace
}  // namespace tellwen::desktop
