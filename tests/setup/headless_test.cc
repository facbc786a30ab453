#include "setup/core/headless.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/setup/fake_setup.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"

namespace tellwen::setup {
namespace {

class HeadlessTest : public ::testing::Test {
 protected:
  HeadlessTest() { settings.SetValue("KIVInstallPathExes", machine.install()); }

  int Run(std::vector<std::string> args) {
    args.insert(args.end(), {"--root", machine.root(), "--scripts", machine.scripts(), "--server",
                             "localhost", "--database", "kiv", "--user", "sa", "--password", ""});
    HeadlessOptions options;
    options.paths = machine.paths;
    EXPECT_TRUE(ParseHeadlessOptions(args, &options).ok());
    options.paths = machine.paths;
    return RunHeadless(options, settings, database, starter, out, nullptr);
  }

  testing::ScratchMachine machine;
  testing::FakeSettings settings;
  testing::FakeSetupDatabase database;
  testing::RecordingStarter starter;
  std::ostringstream out;
};

TEST_F(HeadlessTest, RunsTheFiveTasksPrintingEachAndAppliesTheOptionsGiven) {
  ASSERT_EQ(Run({"--start-service", "--start-indexing"}), 0);
  EXPECT_NE(out.str().find("1. Install web server application: done\n"
                           "2. Install web server data files: done\n"
                           "3. Create Tellwen user: done\n"
                           "4. Assign user to application: done\n"
                           "5. Setting up the database: done\n"
                           "Tellwen Setup has successfully installed.\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(settings.GetValue("WebStatus"), "yes");
  EXPECT_EQ(starter.started, (std::vector<std::string>{"KIVIndexer /setup", "KIVIndexer /index"}));
}

TEST_F(HeadlessTest, AFailedTaskExitsNonZeroWithoutApplyingTheOptions) {
  database.connects = false;
  EXPECT_EQ(Run({"--start-service"}), 1);
  EXPECT_NE(out.str().find("Create a database?"), std::string::npos);
  EXPECT_NE(out.str().find("\nNo\n"), std::string::npos);
  EXPECT_TRUE(database.created.empty());
  EXPECT_NE(out.str().find("5. Setting up the database: Error: Cannot open database"),
            std::string::npos);
  EXPECT_NE(out.str().find("Tellwen Setup has failed.\n"), std::string::npos);
  EXPECT_NE(settings.GetValue("WebStatus"), "yes");
}

TEST(HeadlessOptionsTest, AnUnknownOptionOrAMissingValueIsRefusedByName) {
  HeadlessOptions options;
  EXPECT_EQ(ParseHeadlessOptions({"--rot", "/srv"}, &options).message(), "unknown option --rot");
  EXPECT_EQ(ParseHeadlessOptions({"--root"}, &options).message(), "--root needs a value");
}

}  // namespace
}  // namespace tellwen::setup
