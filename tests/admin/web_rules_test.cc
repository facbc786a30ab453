// The Security and Web pages' rules: address lists, the counter, the
// status view, the first page's severity, the monitor's autostart entry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "admin/core/access_lists.h"
#include "admin/core/web_values.h"
#include "platform/scheduler/autostart.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

TEST(AccessLists, LoadSkipsPlaceholderAndEmptyFieldsAndStoresBothListsWhateverTheMode) {
  testing::FakeSettings settings;
  settings.SetValue("WebBanList", "0||10.0.0.5|0");
  settings.SetValue("WebGrantList", "0|192.168.1.0|192.168.1.1");
  settings.SetValue("SecurityAllowAllIPs", "1");
  SecurityValues values = LoadSecurityValues(settings);
  EXPECT_EQ(values.restricted, std::vector<std::string>{"10.0.0.5"});
  EXPECT_EQ(values.granted.size(), 2u);
  EXPECT_TRUE(values.allow_all);

  values.allow_all = false;
  StoreSecurityValues(settings, values);
  EXPECT_EQ(settings.Stored("WebBanList"), "0|10.0.0.5");
  EXPECT_EQ(settings.Stored("WebGrantList"), "0|192.168.1.0|192.168.1.1");
  EXPECT_EQ(settings.Stored("SecurityAllowAllIPs"), "0");
  StoreMembers(settings, {});
  EXPECT_EQ(settings.Stored("WebMembersList"), "0");
}

TEST(AccessLists, AddRefusesDuplicatesPerListAndIgnoresTheEmptyControl) {
  const std::vector<std::string> lines{"10.0.0.5"};
  bool add = true;
  EXPECT_EQ(CheckNewAddress("0.0.0.0", AddressList::kRestricted, lines, &add), std::nullopt);
  EXPECT_FALSE(add);
  EXPECT_EQ(CheckNewAddress("10.0.0.5", AddressList::kRestricted, lines, &add),
            "IP 10.0.0.5 is already on the forbidden list.");
  EXPECT_EQ(CheckNewAddress("10.0.0.5", AddressList::kGranted, lines, &add),
            "IP 10.0.0.5 is already on the granted list.");
  EXPECT_EQ(CheckNewAddress("10.0.0.5", AddressList::kMembers, lines, &add),
            "IP 10.0.0.5 is already on the memebrs list.");
  EXPECT_FALSE(add);
  EXPECT_EQ(CheckNewAddress("10.0.0.6", AddressList::kGranted, lines, &add), std::nullopt);
  EXPECT_TRUE(add);
}

TEST(WebValues, CounterStoresOnlyNumbersTheSiteReads) {
  EXPECT_EQ(CounterToStore("0042"), "42");
  EXPECT_EQ(CounterToStore("9999999"), "9999999");
  for (const char* bad : {"", "10000000", "12a", "-1", " 5", "99999999999999999999"}) {
    EXPECT_EQ(CounterToStore(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(CounterToShow("1234"), "1234");
  EXPECT_EQ(CounterToShow("garbage"), "0");
  EXPECT_EQ(CounterToShow("123456789"), "0");
}

TEST(WebValues, OnlyYesIsRunningAndSeveritiesFallBackToLow) {
  EXPECT_TRUE(ViewWebStatus("yes").running);
  EXPECT_STREQ(ViewWebStatus("yes").button, "STOP");
  for (const char* other : {"no", "updating", ""}) {
    EXPECT_STREQ(ViewWebStatus(other).label, "Tellwen is stopped.");
    EXPECT_STREQ(ViewWebStatus(other).button, "START");
  }
  EXPECT_EQ(SeverityIndex("high"), 0);
  EXPECT_EQ(SeverityIndex("medium"), 1);
  EXPECT_EQ(SeverityIndex("HIGH"), 2);
}

TEST(Autostart, WritesRemovesAndReportsTheErrorCode) {
  testing::TempDir dir;
  EXPECT_FALSE(scheduler::AutostartPresent(dir.path()));
  EXPECT_EQ(scheduler::WriteAutostart(dir.path(), "/opt/my apps/KIVMonitor"), 0);
  ASSERT_TRUE(scheduler::AutostartPresent(dir.path()));
  std::ifstream entry(dir.path() + "/KIVMonitor.desktop");
  std::stringstream text;
  text << entry.rdbuf();
  EXPECT_NE(text.str().find("Exec=\"/opt/my apps/KIVMonitor\"\n"), std::string::npos);
  EXPECT_EQ(scheduler::RemoveAutostart(dir.path()), 0);
  EXPECT_EQ(scheduler::RemoveAutostart(dir.path()), 0);  // already gone: no error
  EXPECT_NE(scheduler::WriteAutostart(dir.path() + "/missing", "/x"), 0);
  EXPECT_EQ(scheduler::AutostartWriteError(13), "Registry error: RegSetKeyEx returned 13");
  EXPECT_EQ(scheduler::AutostartRemoveError(1), "Registry error: RegDeleteValue returned 1");
}

}  // namespace
}  // namespace tellwen::admin
