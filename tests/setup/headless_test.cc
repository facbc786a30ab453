#include "setup/core/headless.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/net/credentials_file.h"
#include "tests/setup/fake_setup.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

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
    // A command line that does not parse must not run setup on this
    // machine's own folders.
    if (const Status parsed = ParseHeadlessOptions(args, &options); !parsed.ok()) {
      ADD_FAILURE() << parsed.message();
      return -1;
    }
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

TEST_F(HeadlessTest, TheScanAccountGoesToItsFileInAFolderOnlyRootMayEnter) {
  testing::TempDir dir;
  const std::string folder = dir.path() + "/etc-tellwen";
  settings.SetValue("ScanCredentialsFile", folder + "/scan.credentials");
  const std::string password_file = dir.path() + "/scan.pw";
  std::ofstream(password_file) << "s3cret\n";
  ASSERT_EQ(Run({"--scan-user", "scan", "--scan-domain", "OFFICE", "--scan-password-file",
                 password_file}),
            0)
      << out.str();
  EXPECT_NE(out.str().find("Scan account scan: done\n"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("s3cret"), std::string::npos);
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms(0750));
  net::NetAccount stored;
  ASSERT_EQ(net::ReadCredentialsFile(folder + "/scan.credentials", &stored), "");
  EXPECT_EQ(stored.user, "scan");
  EXPECT_EQ(stored.domain, "OFFICE");
  EXPECT_EQ(stored.password, "s3cret");

  std::ofstream(password_file) << "two\rlines\n";
  out.str("");
  EXPECT_EQ(Run({"--scan-user", "scan", "--scan-password-file", password_file}), 1);
  EXPECT_NE(out.str().find("Scan account scan: The password cannot hold a line break.\n"),
            std::string::npos)
      << out.str();
  HeadlessOptions options;
  EXPECT_EQ(ParseHeadlessOptions({"--scan-domain", "X"}, &options).message(),
            "--scan-domain and --scan-password-file need --scan-user");
}

TEST_F(HeadlessTest, TheEngineGivenIsStoredWithTheConnection) {
  ASSERT_EQ(Run({"--engine", " PostgreSQL"}), 0) << out.str();
  EXPECT_EQ(settings.GetValue("SqlEngine"), "postgresql");
  EXPECT_EQ(settings.GetValue("SqlServer"), "localhost");
}

TEST(HeadlessOptionsTest, AnUnknownOptionOrAMissingValueIsRefusedByName) {
  HeadlessOptions options;
  EXPECT_EQ(ParseHeadlessOptions({"--engine", "oracle"}, &options).message(),
            "The engine must be embedded or postgresql.");
  EXPECT_EQ(ParseHeadlessOptions({"--rot", "/srv"}, &options).message(), "unknown option --rot");
  EXPECT_EQ(ParseHeadlessOptions({"--root"}, &options).message(), "--root needs a value");
}

}  // namespace
}  // namespace tellwen::setup
