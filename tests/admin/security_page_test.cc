// The Security page's wiring: the mode shows one list, add and remove act
// on it, Apply stores both lists.
#include "admin/ui/security_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(SecurityPage, ModeSwitchesListsAndAddRemoveApplyActOnTheActiveOne) {
  testing::FakeSettings settings;
  testing::FakeSql sql;
  testing::FakePicker picker;
  testing::ScopedRecordingMessages messages;
  AdminServices services{settings, sql, picker};
  settings.SetValue("WebBanList", "0||10.0.0.1");
  settings.SetValue("WebGrantList", "0|192.168.1.5");
  settings.SetValue("SecurityAllowAllIPs", "1");
  SecurityPage page(services);
  page.LoadOnce();
  page.show();

  auto* restricted = Find<QListWidget>(&page, "restrictedList");
  auto* granted = Find<QListWidget>(&page, "grantedList");
  EXPECT_EQ(restricted->count(), 1);
  EXPECT_TRUE(restricted->isVisible());
  EXPECT_FALSE(granted->isVisible());
  EXPECT_EQ(Find<QLabel>(&page, "modeText")->text(),
            "Any incomming IP is allowed, excepting those from 'Restricted IPs' list");

  auto* address = Find<QLineEdit>(&page, "address");
  Click(&page, "addIp");  // empty control: nothing happens
  EXPECT_EQ(restricted->count(), 1);
  address->setText("10.0.0.5");
  Click(&page, "addIp");
  EXPECT_EQ(address->text(), "");
  address->setText("10.0.0.5");
  Click(&page, "addIp");
  EXPECT_EQ(messages->shown(),
            std::vector<std::string>{"IP 10.0.0.5 is already on the forbidden list."});
  EXPECT_EQ(restricted->count(), 2);

  Find<QCheckBox>(&page, "allowAllIps")->setChecked(false);
  EXPECT_FALSE(restricted->isVisible());
  EXPECT_TRUE(granted->isVisible());
  granted->item(0)->setSelected(true);
  Click(&page, "removeIps");
  EXPECT_EQ(granted->count(), 0);
  page.Apply();
  EXPECT_EQ(settings.Stored("WebBanList"), "0|10.0.0.1|10.0.0.5");
  EXPECT_EQ(settings.Stored("WebGrantList"), "0");
  EXPECT_EQ(settings.Stored("SecurityAllowAllIPs"), "0");

  // "Edit members" opens the members' dialog.
  bool shown = false;
  testing::WhenModalShows([&shown](QDialog* dialog) {
    shown = dialog->objectName() == "membersDialog";
    dialog->reject();
  });
  Click(&page, "editMembers");
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace tellwen::admin
