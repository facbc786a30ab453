// kivadmin run as a program over a scratch hive: each command group's
// wiring (the stored value, the exit code, a refusal's message). The rules
// themselves are admin/core's and tested there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "tests/admin/fake_crontab.h"
#include "tests/support/file_text.h"
#include "tests/support/scratch_store.h"

namespace tellwen {
namespace {

using ::testing::HasSubstr;

struct ToolRun {
  int exit_code;
  std::string out, err;
};

// One command and what it must give: its exit code, a text its stdout (or,
// on a refusal, its stderr) holds, and the stored value of a setting after.
struct Case {
  const char* command;
  int exit_code;
  const char* says;     // "" : not checked
  const char* setting;  // "" : not checked
  const char* stored;
};

class KivadminTool : public ::testing::Test {
 protected:
  ToolRun Kivadmin(const std::string& command) {
    const std::string err_file = store_.path() + "/err";
    const std::string line =
        "PATH=" + crontab_.program.path.substr(0, crontab_.program.path.rfind('/')) +
        ":$PATH TELLWEN_AUTOSTART_FOLDER=" + store_.path() + "/autostart " + KIVADMIN_PATH + " " +
        command + " 2>" + err_file + " </dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    const int status = pclose(pipe);
    return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, testing::FileText(err_file)};
  }

  void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const ToolRun run = Kivadmin(c.command);
      EXPECT_EQ(run.exit_code, c.exit_code) << c.command << "\n" << run.out << run.err;
      if (*c.says != '\0') {
        EXPECT_THAT(c.exit_code == 0 ? run.out : run.err, HasSubstr(c.says)) << c.command;
      }
      if (*c.setting != '\0') {
        CKIVRegistry registry;
        EXPECT_EQ(registry.GetValue(c.setting), c.stored) << c.command;
      }
    }
  }

  testing::ScratchStore store_;
  testing::FakeCrontab crontab_;
};

TEST_F(KivadminTool, PagesSettingsWithThePagesRules) {
  const std::string password = store_.path() + "/pw";
  std::ofstream(password) << "s3cret\n";
  RunCases({
      {"set Levels 3", 0, "Levels: 3 levels", "Levels", "2"},
      {"set levels all", 0, "All levels", "Levels", "5"},
      {"set SqlNotReindexHours '3 days'", 0, "3 day(s)", "SqlNotReindexHours", "72"},
      {"set SqlNotReindexHours soon", 1, "The interval must be", "SqlNotReindexHours", "72"},
      {"set IndexerScanPriority 'time critical'", 1, "safe answer: no", "IndexerScanPriority", "1"},
      {"--yes set IndexerScanPriority 'time critical'", 0, "Time critical", "IndexerScanPriority",
       "6"},
      {"set QueryCommandTimeout 2m", 1, "whole number", "QueryCommandTimeout", "120"},
      {"set OutputFile ''", 1, "Incorect output file name", "", ""},
      {"set ReportFileShortDaily off", 0, "", "ReportFileShortDaily", "0"},
      {"set SqlPassword s3cret", 2, "--password-file", "", ""},
      {("set SqlPassword --password-file " + password).c_str(), 0, "", "", ""},
      {"get SqlPassword", 1, "never shown", "", ""},
      {"get NoSuchSetting", 2, "no page shows a setting NoSuchSetting", "", ""},
      {"set IndexerIncludeList 0", 1, "kivadmin include add|remove", "", ""},
      {"show nonsense", 2, "", "", ""},
  });
  EXPECT_EQ(Kivadmin("show files").out.find("s3cret"), std::string::npos);
  EXPECT_THAT(Kivadmin("show database").out, HasSubstr("SqlPassword: (hidden)\n"));
  const ToolRun json = Kivadmin("--json show web");
  EXPECT_THAT(json.out, HasSubstr("\"WebCounter\": \"0\""));
  EXPECT_EQ(json.out.front(), '{');
}

TEST_F(KivadminTool, ListsOneEntryAtATime) {
  RunCases({
      {"include add pc7", 0, "", "IndexerIncludeList", "0|\\\\PC7"},
      {"include add \\\\\\\\PC7", 1, "Server '\\\\PC7' already in include list.", "", ""},
      {"include add 10.0.0.9-10.0.0.1", 1, "", "IndexerIncludeList", "0|\\\\PC7"},
      {"include add 10.0.0.0-10.9.0.0", 1, "safe answer: no", "IndexerIncludeList", "0|\\\\PC7"},
      {"include add 10.0.0.1 - 10.0.0.20", 0, "", "IndexerIncludeList",
       "0|\\\\PC7|10.0.0.1 - 10.0.0.20"},
      {"include remove pc7", 0, "", "IndexerIncludeList", "0|10.0.0.1 - 10.0.0.20"},
      {"exclude remove pc9", 1, "'\\\\PC9' is not in the exclude list.", "", ""},
      {"access ban add 10.1.1.1", 0, "", "WebBanList", "0|10.1.1.1"},
      {"access ban add 10.1.1.1", 1, "IP 10.1.1.1 is already on the forbidden list.", "", ""},
      {"access grant add 10.1.1", 1, "is not an IP address", "WebGrantList", "0"},
      {"access allow-all off", 0, "", "SecurityAllowAllIPs", "0"},
      {"members add 10.2.2.2", 0, "", "WebMembersList", "0|10.2.2.2"},
      {"members all on", 0, "", "SecurityAllAreMembers", "1"},
      {"categories add 'Audio Files' '*.ogg'", 1, "", "", ""},  // the name is taken
      {"categories add Tunes '*.ogg'", 0, "", "", ""},
      {"categories edit Tunes Tunes ''", 1, "", "", ""},
      {"categories remove Nothing", 1, "There is no category 'Nothing'.", "", ""},
  });
  EXPECT_THAT(Kivadmin("categories list").out, HasSubstr("Tunes: *.ogg\n"));
  EXPECT_THAT(Kivadmin("--json access list").out, HasSubstr("\"restricted\": [\"10.1.1.1\"]"));
  EXPECT_EQ(Kivadmin("include list --json").out, "[\"10.0.0.1 - 10.0.0.20\"]\n");
  EXPECT_EQ(Kivadmin("categories up Nothing").exit_code, 1);
  EXPECT_EQ(Kivadmin("categories reset").exit_code, 0);
  EXPECT_THAT(Kivadmin("categories list").out, Not(HasSubstr("Tunes")));
}

TEST_F(KivadminTool, WebPageButtonsAndTheScanAccount) {
  const std::string password = store_.path() + "/scan.pw";
  std::ofstream(password) << "Tw-9\n";
  const std::string credentials = store_.path() + "/scan.credentials";
  CKIVRegistry().SetValue("ScanCredentialsFile", credentials);
  RunCases({
      {"service start", 0, "", "WebStatus", "yes"},
      {"service stop", 1, "Are you sure do you want to stop Tellwen service?", "WebStatus", "yes"},
      {"--yes service stop", 0, "", "WebStatus", "no"},
      {"counter set 99999999", 1, "The web counter must be a whole number", "WebCounter", "0"},
      {"--yes counter set 42", 0, "", "WebCounter", "42"},
      {"banner set urgent 'Down at noon'", 1, "high, medium or low", "", ""},
      {"banner set high 'Down at noon'", 0, "", "FirstPageInfo", "Down at noon"},
      {"banner erase", 0, "", "FirstPageInfo", "N/A"},
      {"scan-account set scan OFFICE", 2, "--password-file", "", ""},
      {("scan-account set scan OFFICE --password-file " + password).c_str(), 0, "", "", ""},
      {"scan-account show", 0, "User: scan", "", ""},
  });
  EXPECT_EQ(std::filesystem::status(credentials).permissions(), std::filesystem::perms(0600));
  EXPECT_EQ(Kivadmin("show").out.find("Tw-9"), std::string::npos);
}

TEST_F(KivadminTool, ScheduleAndAutoloadThroughTheAccountsCrontab) {
  std::filesystem::create_directories(store_.path() + "/autostart");
  RunCases({
      {"schedule scan weekly mon,thu 03:30", 0, "scan: weekly mon,thu 03:30", "", ""},
      {"schedule update every 90 minutes", 2, "not a schedule", "", ""},
      {"schedule update once 2027-01-31 23:05", 0, "", "", ""},
      {"autoload-monitor on", 0, "", "", ""},
      {"autoload-monitor status", 0, "on", "", ""},
      {"run scan", 1, "Are you sure do you want to start network scanning now?", "", ""},
  });
  EXPECT_THAT(crontab_.Tab(), HasSubstr("30 3 * * 1,4 "));
  EXPECT_THAT(crontab_.Tab(), HasSubstr("# Tellwen - Network Scan"));
  const ToolRun shown = Kivadmin("schedule show");
  EXPECT_THAT(shown.out, HasSubstr("update: once 2027-01-31 23:05\n"));
  EXPECT_EQ(Kivadmin("schedule remove scan").exit_code, 0);
  EXPECT_THAT(Kivadmin("schedule show").out, HasSubstr("scan: not scheduled\n"));
  EXPECT_TRUE(std::filesystem::exists(store_.path() + "/autostart/KIVMonitor.desktop"));
}

TEST_F(KivadminTool, QuickLinksInTheCatalogDatabase) {
  ASSERT_EQ(store_.CreateDatabase(), "");
  ASSERT_FALSE(RunSql("create table quick_links (id int identity(1,1), word varchar(255), "
                      "display varchar(255), link varchar(255))",
                      0, SqlCaller::kSetupDatabase)
                   .error);
  ToolRun added = Kivadmin("quicklinks add help 'How to search' /kiv/faq.htm");
  ASSERT_EQ(added.exit_code, 0) << added.err;
  const std::string id = added.out.substr(0, added.out.find('\n'));
  EXPECT_EQ(Kivadmin("quicklinks edit " + id + " help 'Searching' /kiv/faq.htm").exit_code, 0);
  EXPECT_THAT(Kivadmin("--json quicklinks list").out, HasSubstr("\"display\": \"Searching\""));
  EXPECT_THAT(Kivadmin("quicklinks remove 999").err, HasSubstr("no quick link with id 999"));
  EXPECT_EQ(Kivadmin("quicklinks remove " + id).exit_code, 0);
  EXPECT_EQ(Kivadmin("quicklinks list").out, "");
  EXPECT_EQ(Kivadmin("test-database").exit_code, 0);
}

}  // namespace
}  // namespace tellwen
