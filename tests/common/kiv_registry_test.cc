#include "common/kiv_registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "base/list_value.h"
#include "platform/registry/registry.h"
#include "tests/base/recording_messages.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using tellwen::testing::ScopedEnv;
using tellwen::testing::ScopedRecordingMessages;
using tellwen::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SettingsStore : public ::testing::Test {
 protected:
  // The stored bytes of a value, read past the store; nullopt when missing.
  std::optional<std::string> Stored(const std::string& name) {
    std::string folder, value;
    if (registry::OpenKey(kSettingsKey, false, &folder, nullptr) != 0) return std::nullopt;
    if (registry::QueryValue(folder, name, 1 << 24, &value) != 0) return std::nullopt;
    return value;
  }
  void Store(const std::string& name, const std::string& bytes) {
    std::string folder;
    ASSERT_EQ(registry::OpenKey(kSettingsKey, true, &folder, nullptr), 0);
    ASSERT_EQ(registry::SetValue(folder, name, bytes), 0);
  }

  TempDir dir_;
  ScopedEnv env_{"TELLWEN_REGISTRY", dir_.path()};
  ScopedRecordingMessages messages_;
};

TEST_F(SettingsStore, MissingValueIsCreatedWithItsDefaultAndThenReadBack) {
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("Levels", "no default"), "5");
  EXPECT_EQ(Stored("Levels"), "5");
  Store("Levels", "7");  // a second read must see the stored value, not the default
  EXPECT_EQ(settings.GetValue("Levels", "no default"), "7");
  EXPECT_EQ(settings.GetIntValue("Levels"), 7);
  EXPECT_TRUE(messages_->shown().empty());
}

TEST_F(SettingsStore, DefaultModeNeitherReadsNorWrites) {
  Store("QueryCommandTimeout", "300");
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("QueryCommandTimeout", "default value"), "120");
  EXPECT_EQ(Stored("QueryCommandTimeout"), "300");
  EXPECT_EQ(settings.GetValue("Levels", "default value"), "5");
  EXPECT_EQ(Stored("Levels"), std::nullopt);
}

TEST_F(SettingsStore, ComputedDefaultsCreateTheInstallPathFirst) {
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("ReportFile"), "/opt/tellwen/reports/report.txt");
  EXPECT_EQ(Stored("KIVInstallPathExes"), "/opt/tellwen/");
  EXPECT_EQ(Stored("ReportFile"), "/opt/tellwen/reports/report.txt");

  Store("KIVInstallPathExes", "/srv/kiv/");
  EXPECT_EQ(settings.GetValue("ReportFileShort"), "/srv/kiv/reports/short_report.txt");
  EXPECT_EQ(settings.GetValue("SuggestionsFile"), "/srv/kiv/suggestions.txt");
  EXPECT_EQ(settings.GetValue("OutputFile"), "/srv/kiv/kiv report.txt");
  EXPECT_EQ(settings.GetValue("SqlLogFolder"), "/srv/kiv/");
}

TEST_F(SettingsStore, AnInstalledSystemKeepsItsLogsUnderVarLogAndItsFilesUnderEtc) {
  const InstalledFolders installed = InstalledFoldersOfThisBuild();
  Store("KIVInstallPathExes", installed.programs);
  CKIVRegistry settings;
  const std::string logs = installed.logs;
  EXPECT_EQ(settings.GetValue("ReportFile"), logs + "report.txt");
  EXPECT_EQ(settings.GetValue("ReportFileShort"), logs + "short_report.txt");
  EXPECT_EQ(settings.GetValue("SqlLogFolder"), logs);
  EXPECT_EQ(settings.GetValue("SuggestionsFile"),
            std::string(installed.config) + "suggestions.txt");
  EXPECT_EQ(settings.GetValue("OutputFile"), std::string(installed.programs) + "kiv report.txt");
}

TEST_F(SettingsStore, DefaultModeOfAComputedValueStillCreatesTheInstallPath) {
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("OutputFile", "default value"), "/opt/tellwen/kiv report.txt");
  EXPECT_EQ(Stored("KIVInstallPathExes"), "/opt/tellwen/");
  EXPECT_EQ(Stored("OutputFile"), std::nullopt);
}

TEST_F(SettingsStore, TemporaryFolderFollowsTmpdirAndEndsInASlash) {
  CKIVRegistry settings;
  {
    ScopedEnv tmpdir("TMPDIR", "/var/tmp/kiv");
    EXPECT_EQ(settings.GetValue("TemporaryFolder", "default value"), "/var/tmp/kiv/");
  }
  {
    ScopedEnv tmpdir("TMPDIR", "");
    EXPECT_EQ(settings.GetValue("TemporaryFolder", "default value"), "/tmp/");
  }
}

TEST_F(SettingsStore, HostNameDefaultsNameThisMachine) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("SqlServer"), host);
  EXPECT_EQ(settings.GetValue("MiniLocation"), std::string(host) + "/KIV");
}

TEST_F(SettingsStore, IntegersAndFlagsParseALeadingNumber) {
  CKIVRegistry settings;
  Store("A", "abc");
  Store("B", "12x");
  Store("C", "0");
  Store("D", "2");
  Store("E", " -7");
  Store("F", "99999999999");
  EXPECT_EQ(settings.GetIntValue("A"), 0);
  EXPECT_EQ(settings.GetIntValue("B"), 12);
  EXPECT_FALSE(settings.GetBoolValue("C"));
  EXPECT_TRUE(settings.GetBoolValue("D"));
  EXPECT_EQ(settings.GetIntValue("E"), -7);
  EXPECT_EQ(settings.GetIntValue("F"), 2147483647);
}

TEST_F(SettingsStore, StoredTextEndsAtATerminatingZero) {
  Store("FirstPageInfo", std::string("hello\0", 6));
  Store("Weird", std::string("ab\0cd", 5));
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("FirstPageInfo"), "hello");
  EXPECT_EQ(settings.GetValue("Weird"), "ab");
}

TEST_F(SettingsStore, EmptyStoredValueIsPresent) {
  Store("OutputFile", "");
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("OutputFile"), "");
  EXPECT_EQ(Stored("OutputFile"), "");
}

TEST_F(SettingsStore, LargeValuesAreReadWholeAndNeverReplaced) {
  std::string list = "0";
  while (list.size() < 20000) list += "|192.168.1.1-192.168.1.254";
  Store("IndexerIncludeList", list);
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("IndexerIncludeList"), list);

  // Past the store's bound the value is unreadable: reported, the default
  // returned, and the stored value left alone.
  std::string huge(3 << 20, 'x');
  Store("IndexerExcludeList", huge);
  EXPECT_EQ(settings.GetValue("IndexerExcludeList"), "0");
  EXPECT_EQ(Stored("IndexerExcludeList"), huge);
  EXPECT_THAT(messages_->shown(),
              ElementsAre(HasSubstr("RegQueryValueEx in CKIVRegistry::GetValue() return ")));
}

TEST_F(SettingsStore, UnknownNameGivesAnEmptyStoredValue) {
  CKIVRegistry settings;
  EXPECT_EQ(settings.GetValue("NoSuchSetting"), "");
  EXPECT_EQ(Stored("NoSuchSetting"), "");
}

TEST_F(SettingsStore, SetValueStoresExactlyTheCharacters) {
  CKIVRegistry settings;
  settings.SetValue("FirstPageInfo", "Database update in progress");
  EXPECT_EQ(Stored("FirstPageInfo"), "Database update in progress");
  EXPECT_EQ(settings.LastResult(), 0);
}

TEST_F(SettingsStore, UnusableHiveReportsEveryCallAndStillGivesDefaults) {
  // The hive root is a plain file: the key cannot be created.
  std::string root = dir_.path() + "/not-a-folder";
  std::ofstream(root) << "x";
  ScopedEnv env("TELLWEN_REGISTRY", root);
  CKIVRegistry settings;
  EXPECT_NE(settings.LastResult(), 0);
  EXPECT_EQ(settings.GetValue("NumberOfThreads"), "15");
  settings.SetValue("WebStatus", "yes");
  std::vector<std::string> shown = messages_->shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_THAT(shown[0], HasSubstr("RegCreateKeyEx in CKIVRegistry::CKIVRegistry() return "));
  EXPECT_THAT(shown[1], HasSubstr("RegSetKeyEx in CKIVRegistry::OnInitDialog() return "));
  EXPECT_THAT(shown[2], HasSubstr("RegSetKeyEx in CKIVRegistry::SetValue() return "));
}

TEST_F(SettingsStore, DefaultCategoriesAreTheTenNamedPatternLists) {
  CKIVRegistry settings;
  std::vector<std::string> categories = ReadListValue(settings.GetValue("CategoriesEdit"));
  ASSERT_EQ(categories.size(), 10u);  // eleven fields with the placeholder
  EXPECT_EQ(categories.front().substr(0, 17), "Audio Files/*.mp3");
  EXPECT_EQ(categories.back().substr(categories.back().size() - 13), "; makefile*.*");
  for (const std::string& category : categories) {
    EXPECT_NE(category.find('/'), std::string::npos) << category;
    EXPECT_EQ(category.find("  "), std::string::npos) << category;
  }
}

TEST_F(SettingsStore, DefaultCreatedByAReadNeverOverwritesAConcurrentSet) {
  // One thread reads a missing value (which creates its default) while
  // another stores it: the stored value must win every time.
  int lost = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const std::string name = "Levels";
    std::string folder;
    ASSERT_EQ(registry::OpenKey(kSettingsKey, true, &folder, nullptr), 0);
    registry::DeleteValue(folder, name);
    std::atomic<bool> go{false};
    std::thread reader([&] {
      while (!go) {
      }
      CKIVRegistry settings;
      settings.GetValue(name);
    });
    std::thread writer([&] {
      while (!go) {
      }
      CKIVRegistry settings;
      settings.SetValue(name, "77");
    });
    go = true;
    reader.join();
    writer.join();
    if (Stored(name) != std::optional<std::string>("77")) ++lost;
  }
  EXPECT_EQ(lost, 0);
}

TEST_F(SettingsStore, AFailureThatRepeatsIsShownOncePerValueAndCause) {
  // The hive root is a plain file: every construction, every default that a
  // read stores and every write fails, as for an account that may not write.
  std::string root = dir_.path() + "/not-a-folder";
  std::ofstream(root) << "x";
  ScopedEnv env("TELLWEN_REGISTRY", root);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 500; ++i) {
        CKIVRegistry settings;
        settings.GetValue("NumberOfThreads");
        settings.GetValue("Levels");
        settings.SetValue("WebCounter", std::to_string(i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> shown = messages_->shown();
  std::sort(shown.begin(), shown.end());
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_THAT(shown[0], HasSubstr("RegCreateKeyEx in CKIVRegistry::CKIVRegistry() return "));
  EXPECT_THAT(shown[1], HasSubstr("RegSetKeyEx in CKIVRegistry::OnInitDialog() return "));
  EXPECT_THAT(shown[2], HasSubstr("RegSetKeyEx in CKIVRegistry::OnInitDialog() return "));
  EXPECT_THAT(shown[3], HasSubstr("RegSetKeyEx in CKIVRegistry::SetValue() return "));
}

}  // namespace
}  // namespace tellwen
