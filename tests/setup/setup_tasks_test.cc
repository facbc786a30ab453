#include "setup/core/setup_tasks.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/password.h"
#include "platform/isapi/web_config.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fault_file_env.h"

namespace tellwen::setup {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class FakeDatabase : public SetupDatabase {
 public:
  bool Test(const SqlConnectionSettings& values, std::string* source,
            std::string* description) override {
    tested.push_back(values.database);
    *source = "Microsoft OLE DB Provider for SQL Server";
    *description = "Cannot open database requested in login 'kiv'.";
    return connects;
  }
  bool Create(const SqlConnectionSettings&) override { return true; }
  bool connects = true;
  std::vector<std::string> tested;
};

class RecordingStarter : public ProgramStarter {
 public:
  int Start(const std::string& program, const std::vector<std::string>& args) override {
    std::string line = program;
    for (const std::string& arg : args) line += " " + arg;
    started.push_back(line);
    return code;
  }
  int code = 0;
  std::vector<std::string> started;
};

class SetupTasksTest : public ::testing::Test {
 protected:
  SetupTasksTest() { settings.SetValue("KIVInstallPathExes", machine.install()); }
  testing::ScratchMachine machine;
  testing::FakeSettings settings;
  FakeDatabase database;
  RecordingStarter starter;
  SetupTasks tasks{settings, database, starter, machine.paths};
};

TEST(SetupValuesTest, FoldersGetTheirFinalSlashAndThePasswordIsStoredScrambled) {
  testing::FakeSettings settings;
  const SetupValues values =
      ConfirmValues(settings, "/srv/web", "/srv/scripts/", {"local", "kiv", "sa", "secret"});
  EXPECT_EQ(values.root, "/srv/web/");
  EXPECT_EQ(values.scripts, "/srv/scripts/");
  EXPECT_NE(settings.GetValue("SqlPassword"), "secret");
  EXPECT_EQ(UnscramblePassword(settings.GetValue("SqlPassword")), "secret");
  EXPECT_EQ(settings.GetValue("SqlDatabase"), "kiv");
}

TEST_F(SetupTasksTest, ApplicationTaskStoresFoldersAndRewritesTheScriptsFilesOnEveryRun) {
  ASSERT_EQ(tasks.Run(1, machine.Values()), "");
  EXPECT_EQ(settings.GetValue("IISRootFolder"), machine.root());
  EXPECT_EQ(settings.GetValue("IISScriptsFolder"), machine.scripts());
  WriteFile(machine.scripts() + "KIVQuery.so", "old copy");
  ASSERT_EQ(tasks.Run(1, machine.Values()), "");
  EXPECT_EQ(ReadFile(machine.scripts() + "KIVQuery.so"), "extension");
  EXPECT_EQ(ReadFile(machine.scripts() + "pingno.gif"), "pingno.gif");
}

TEST_F(SetupTasksTest, CopyFailureNamesSourceTargetAndCode) {
  std::filesystem::remove(machine.install() + "webfiles/pingyes.gif");
  EXPECT_EQ(tasks.Run(1, machine.Values()), "Operation failed when trying to copy '" +
                                                machine.install() + "webfiles/pingyes.gif' to '" +
                                                machine.scripts() + "pingyes.gif'  (Error: 0x2).");
}

TEST_F(SetupTasksTest, AFullDiskLeavesTheRunningExtensionWhole) {
  ASSERT_EQ(tasks.Run(1, machine.Values()), "");
  WriteFile(machine.scripts() + "KIVQuery.so", "old copy");
  testing::FaultFileEnv disk;
  disk.suffix = "KIVQuery.so";
  disk.write_budget = 3;
  SetupTasks full{settings, database, starter, machine.paths, &disk};
  EXPECT_EQ(full.Run(1, machine.Values()), "Operation failed when trying to copy '" +
                                               machine.install() + "webfiles/KIVQuery.so' to '" +
                                               machine.scripts() + "KIVQuery.so'  (Error: 0x1c).");
  EXPECT_EQ(ReadFile(machine.scripts() + "KIVQuery.so"), "old copy");
  for (const auto& entry : std::filesystem::directory_iterator(machine.scripts())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

TEST_F(SetupTasksTest, DataFilesTaskReusesTheKivFolderAndCopiesEveryWebFile) {
  std::filesystem::create_directories(machine.root() + "kiv");
  WriteFile(machine.root() + "kiv/mine.txt", "kept");
  ASSERT_EQ(tasks.Run(2, machine.Values()), "");
  for (const char* name : kSiteFiles) EXPECT_EQ(ReadFile(machine.root() + "kiv/" + name), name);
  EXPECT_EQ(ReadFile(machine.root() + "kiv/mine.txt"), "kept");
}

TEST_F(SetupTasksTest, DataFilesTaskFailsWhenTheFolderCannotBeMade) {
  std::filesystem::create_directories(machine.root());
  WriteFile(machine.root() + "kiv", "a file in the way");
  EXPECT_EQ(tasks.Run(2, machine.Values())
                .rfind("Unable to create directory '" + machine.root() + "kiv' (Error: 0x", 0),
            0u);
}

TEST_F(SetupTasksTest, AccountIsMadeAfreshAsASystemAccountOfTheSiteGroupOnly) {
  ASSERT_EQ(tasks.Run(3, machine.Values()), "");
  ASSERT_EQ(tasks.Run(3, machine.Values()), "");
  const std::string log = machine.ToolLog();
  const std::string add =
      "useradd --system --no-create-home --home-dir /nonexistent --gid tellwen-test-none "
      "--shell /usr/sbin/nologin --comment Tellwen Account kiv_test_none\n";
  EXPECT_EQ(log, "groupadd --system tellwen-test-none\nuserdel kiv_test_none\n" + add +
                     "groupadd --system tellwen-test-none\nuserdel kiv_test_none\n" + add);
  for (const char* admin_group : {"sudo", "adm", "root", "wheel", "--groups"}) {
    EXPECT_EQ(log.find(admin_group), std::string::npos) << admin_group;
  }
}

// A running kivweb keeps its account from being deleted; the account that
// is still there is brought to the designed shape (stand-in tools only: an
// account every machine has plays the one in use).
TEST_F(SetupTasksTest, AnAccountThatCannotBeDeletedIsReshapedInPlace) {
  machine.paths.account = "root";
  machine.SetToolExit("userdel", 8);
  machine.SetToolExit("useradd", 9);
  SetupTasks in_use(settings, database, starter, machine.paths);
  EXPECT_EQ(in_use.Run(3, machine.Values()), "");
  EXPECT_NE(machine.ToolLog().find("usermod --lock --groups  --home /nonexistent --gid "
                                   "tellwen-test-none --shell /usr/sbin/nologin --comment "
                                   "Tellwen Account root\n"),
            std::string::npos)
      << machine.ToolLog();
  machine.SetToolExit("usermod", 6);
  EXPECT_EQ(in_use.Run(3, machine.Values()), "Error: Cannot create user (Error: 0x6).");
}

TEST_F(SetupTasksTest, AccountFailureShowsTheDesignedTextWithTheToolsCode) {
  machine.SetToolExit("useradd", 9);
  EXPECT_EQ(tasks.Run(3, machine.Values()), "Error: Cannot create user (Error: 0x9).");
  machine.SetToolExit("groupadd", 4);
  EXPECT_EQ(tasks.Run(3, machine.Values()),
            "Error: Cannot connect to the 'tellwen-test-none' group (Error: 0x4).");
}

TEST_F(SetupTasksTest, AssignWritesAccountAndFoldersAndKeepsTheOtherLines) {
  std::filesystem::create_directories(machine.base() + "/etc");
  WriteFile(machine.paths.web_config, "listen = 127.0.0.1:8080\nthreads = 8\naccount = nobody\n");
  ASSERT_EQ(tasks.Run(4, machine.Values()), "");
  isapi::WebConfig config;
  ASSERT_TRUE(isapi::LoadWebConfig(machine.paths.web_config, &config).ok());
  EXPECT_EQ(config.account, "kiv_test_none");
  EXPECT_EQ(config.root, machine.root());
  EXPECT_EQ(config.scripts, machine.scripts());
  EXPECT_EQ(config.listen_port, 8080);
  EXPECT_EQ(config.threads, 8);
}

TEST_F(SetupTasksTest, AssignGivesTheGroupWriteAndSetgidButNothingToOthers) {
  machine.paths.change_ownership = true;
  machine.paths.group = ::getgrgid(::getegid())->gr_name;
  std::filesystem::create_directories(machine.paths.data_folder);
  WriteFile(machine.paths.data_folder + "/kiv.db", "db");
  ::chmod((machine.paths.data_folder + "/kiv.db").c_str(), 0646);
  SetupTasks owning(settings, database, starter, machine.paths);
  ASSERT_EQ(owning.Run(4, machine.Values()), "");
  for (const std::string& folder :
       {machine.scripts(), machine.paths.registry_folder, machine.paths.data_folder}) {
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_ISGID) << folder;
    EXPECT_TRUE(info.st_mode & S_IWGRP) << folder;
    EXPECT_FALSE(info.st_mode & S_IWOTH) << folder;
  }
  struct stat file {};
  ASSERT_EQ(::stat((machine.paths.data_folder + "/kiv.db").c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0664u);
}

TEST_F(SetupTasksTest, DatabaseTaskTestsThenStartsTheIndexerSetup) {
  EXPECT_EQ(tasks.Run(5, machine.Values()), "");
  EXPECT_EQ(starter.started, std::vector<std::string>{"KIVIndexer /setup"});
  starter.code = 2;
  EXPECT_EQ(tasks.Run(5, machine.Values()), "Error: Failed to set up the database.(Error: 0x2).");
  database.connects = false;
  EXPECT_EQ(tasks.Run(5, machine.Values()),
            "Error: Cannot open database requested in login 'kiv'.");
  EXPECT_EQ(starter.started.size(), 2u);
}

TEST_F(SetupTasksTest, CreationIsOfferedOnlyWhenTheTestFails) {
  EXPECT_EQ(DatabaseOffer(database, {}), std::nullopt);
  database.connects = false;
  const auto offer = DatabaseOffer(database, {});
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->upper,
            "Failed to connect to the database:\nSource: 'Microsoft OLE DB Provider for SQL "
            "Server'\nDescription: 'Cannot open database requested in login 'kiv'.'");
  EXPECT_EQ(offer->lower.rfind("If you want to manually create a database please click 'No'", 0),
            0u);
}

}  // namespace
}  // namespace tellwen::setup
