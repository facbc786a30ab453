// "Edit Members": add with the refusal, remove with its message, OK and
// Cancel.
#include "admin/ui/members_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

TEST(MembersDialog, AddsRefusesRemovesAndWritesOnlyOnOk) {
  testing::FakeSettings settings;
  testing::ScopedRecordingMessages messages;
  settings.SetValue("WebMembersList", "0|192.168.1.7");
  {
    MembersDialog dialog(settings);
    auto* list = Find<QListWidget>(&dialog, "membersList");
    ASSERT_EQ(list->count(), 1);
    Click(&dialog, "removeMembers");
    Find<QLineEdit>(&dialog, "address")->setText("192.168.1.7");
    Click(&dialog, "addMember");
    Find<QLineEdit>(&dialog, "address")->setText("192.168.1.8");
    Click(&dialog, "addMember");
    EXPECT_EQ(messages->shown(),
              (std::vector<std::string>{"There are no selected items in the 'members' list.",
                                        "IP 192.168.1.7 is already on the memebrs list."}));
    dialog.reject();
    EXPECT_EQ(settings.Stored("WebMembersList"), "0|192.168.1.7");
  }
  MembersDialog dialog(settings);
  auto* list = Find<QListWidget>(&dialog, "membersList");
  Find<QLineEdit>(&dialog, "address")->setText("10.1");
  Click(&dialog, "addMember");
  list->item(0)->setSelected(true);
  Click(&dialog, "removeMembers");
  Click(&dialog, "ok");
  EXPECT_EQ(settings.Stored("WebMembersList"), "0|10.1.0.0");
}

}  // namespace
}  // namespace tellwen::admin
