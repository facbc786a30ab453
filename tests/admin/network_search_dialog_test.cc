#include "admin/ui/network_search_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include "platform/net/credentials_file.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/indexer/fake_network.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

class NetworkSearchDialogTest : public ::testing::Test {
 protected:
  NetworkSearchDialogTest() {
    settings_.SetValue("MustEnumerateResourcesFromNetwork", "0");
    settings_.SetValue("IndexerIncludeList", "0|\\\\FILESERVER|192.168.2.1 - 192.168.2.254");
    settings_.SetValue("IndexerExcludeList", "0");
    settings_.SetValue("IndexerIgnoreIPZero", "1");
    settings_.SetValue("IndexerIgnoreIP255", "1");
    settings_.SetValue("ScanCredentialsFile", credentials_);
    dialog_ = std::make_unique<NetworkSearchDialog>(settings_);
    include_tester_.emplace(Include()->model());
    exclude_tester_.emplace(Exclude()->model());
  }
  QListWidget* Include() { return Find<QListWidget>(dialog_.get(), "includeList"); }
  QListWidget* Exclude() { return Find<QListWidget>(dialog_.get(), "excludeList"); }
  QStringList Lines(QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }
  void TypeServer(const QString& text) { Find<QLineEdit>(dialog_.get(), "server")->setText(text); }

  testing::TempDir dir_;
  const std::string credentials_ = dir_.path() + "/scan.credentials";
  testing::FakeSettings settings_;
  testing::ScopedRecordingMessages messages_;
  std::unique_ptr<NetworkSearchDialog> dialog_;
  std::optional<QAbstractItemModelTester> include_tester_;
  std::optional<QAbstractItemModelTester> exclude_tester_;
};

TEST_F(NetworkSearchDialogTest, LoadsTheListsAndAddsNormalisedComputers) {
  EXPECT_EQ(Lines(Include()), (QStringList{"\\\\FILESERVER", "192.168.2.1 - 192.168.2.254"}));
  EXPECT_FALSE(Find<QCheckBox>(dialog_.get(), "searchEntireNetwork")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "from")->text(), "");

  TypeServer("pc7");
  Click(dialog_.get(), "toExclude");
  EXPECT_EQ(Lines(Exclude()), QStringList{"\\\\PC7"});
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "server")->text(), "");

  TypeServer("\\\\fileserver");
  Click(dialog_.get(), "toInclude");
  TypeServer("\\\\");
  Click(dialog_.get(), "toInclude");
  EXPECT_EQ(messages_->shown(),
            (std::vector<std::string>{"Server '\\\\FILESERVER' already in include list.",
                                      "Invalid server name."}));
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "server")->text(), "\\\\");  // a refusal keeps the text
  EXPECT_EQ(Include()->count(), 2);
}

TEST_F(NetworkSearchDialogTest, RangeButtonsAndHugeRangeQuestion) {
  Find<QLineEdit>(dialog_.get(), "from")->setText("192.168.0.77");
  Click(dialog_.get(), "nextC");
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "from")->text(), "192.168.1.1");
  EXPECT_EQ(Find<QLineEdit>(dialog_.get(), "to")->text(), "192.168.1.254");
  Click(dialog_.get(), "addRange");
  EXPECT_EQ(Include()->item(2)->text(), "192.168.1.1 - 192.168.1.254");

  Find<QLineEdit>(dialog_.get(), "from")->setText("10.0.0.0");
  Find<QLineEdit>(dialog_.get(), "to")->setText("10.1.134.161");
  messages_->set_answer(false);
  Click(dialog_.get(), "addRange");
  ASSERT_EQ(messages_->asked().size(), 1u);
  EXPECT_EQ(Include()->count(), 3);
  messages_->set_answer(true);
  Click(dialog_.get(), "addRange");
  EXPECT_EQ(Include()->item(3)->text(), "10.0.0.0 - 10.1.134.161");

  Find<QLineEdit>(dialog_.get(), "from")->setText("192.168.5.20");
  Find<QLineEdit>(dialog_.get(), "to")->setText("192.168.5.20");
  Click(dialog_.get(), "addRange");
  EXPECT_EQ(Include()->item(4)->text(), "\\\\192.168.5.20");

  Find<QLineEdit>(dialog_.get(), "to")->setText("192.168.5.2");
  Click(dialog_.get(), "addRange");
  EXPECT_EQ(messages_->shown().back(), "IP range '192.168.5.20' - '192.168.5.2' is invalid!");
  Find<QLineEdit>(dialog_.get(), "to")->setText("192.168");
  Click(dialog_.get(), "addRange");
  EXPECT_EQ(messages_->shown().back(), "IP range '192.168.5.20' - '192.168' is invalid!");
  EXPECT_EQ(Include()->count(), 5);
}

TEST_F(NetworkSearchDialogTest, OkStoresInOrderAndCancelStoresNothing) {
  Click(dialog_.get(), "removeExclude");
  EXPECT_EQ(messages_->shown(),
            std::vector<std::string>{"There are no selected items in the 'exclude' list."});
  Include()->selectAll();
  Click(dialog_.get(), "removeInclude");
  EXPECT_EQ(Include()->count(), 0);
  Click(dialog_.get(), "cancel");
  EXPECT_EQ(settings_.Stored("IndexerIncludeList"), "0|\\\\FILESERVER|192.168.2.1 - 192.168.2.254");

  Click(dialog_.get(), "ok");
  EXPECT_EQ(settings_.Stored("IndexerIncludeList"), "0");
  EXPECT_EQ(settings_.Stored("MustEnumerateResourcesFromNetwork"), "0");
  EXPECT_EQ(settings_.Stored("IndexerIgnoreIPZero"), "1");
}

TEST_F(NetworkSearchDialogTest, TheAccountBoxTestsWithTheTypedAccountAndOkWritesTheFileOnly) {
  NetworkSearchDialog dialog(settings_, nullptr, [] {
    auto network = std::make_unique<testing::FakeNetwork>();
    network->AddShare("\\\\NAS\\docs");
    network->RequireAccount("\\\\NAS", "scan", "pw");
    return std::unique_ptr<net::Network>(std::move(network));
  });
  Find<QLineEdit>(&dialog, "accountUser")->setText("scan");
  Find<QLineEdit>(&dialog, "accountPassword")->setText("pw");
  Find<QLineEdit>(&dialog, "testComputer")->setText("NAS");
  Click(&dialog, "testAccount");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return testing::LabelText(&dialog, "testResult") == "\\\\NAS: 1 share: docs"; }, 5000))
      << testing::LabelText(&dialog, "testResult").toStdString();

  Click(&dialog, "ok");
  net::NetAccount stored;
  ASSERT_EQ(net::ReadCredentialsFile(credentials_, &stored), "");
  EXPECT_EQ(stored.password, "pw");
  EXPECT_EQ(settings_.Stored("ScanCredentialsFile"), credentials_);  // no password in the store
  // Opened again: the user, never the password.
  NetworkSearchDialog again(settings_);
  EXPECT_EQ(Find<QLineEdit>(&again, "accountUser")->text(), "scan");
  EXPECT_EQ(Find<QLineEdit>(&again, "accountPassword")->text(), "");
}

TEST_F(NetworkSearchDialogTest, SourceBoxesFollowTheStoreAndSearchEntireNetwork) {
  settings_.SetValue("NetworkSearchWsDiscovery", "0");
  settings_.SetValue("NetworkSearchInterfaces", "0|veth-test");
  NetworkSearchDialog dialog(settings_);
  QCheckBox* browse = Find<QCheckBox>(&dialog, "sourceBrowseList");
  QCheckBox* wsd = Find<QCheckBox>(&dialog, "sourceWsDiscovery");
  QCheckBox* mdns = Find<QCheckBox>(&dialog, "sourceMdns");
  EXPECT_TRUE(browse->isChecked());
  EXPECT_FALSE(wsd->isChecked());
  EXPECT_TRUE(mdns->isChecked());
  // "Search entire network" is off in this store: its sources wait for it.
  EXPECT_FALSE(mdns->isEnabled());
  Find<QCheckBox>(&dialog, "searchEntireNetwork")->setChecked(true);
  EXPECT_TRUE(mdns->isEnabled());

  wsd->setChecked(true);
  browse->setChecked(false);
  Click(&dialog, "ok");
  EXPECT_EQ(settings_.Stored("MustEnumerateResourcesFromNetwork"), "1");
  EXPECT_EQ(settings_.Stored("NetworkSearchBrowseList"), "0");
  EXPECT_EQ(settings_.Stored("NetworkSearchWsDiscovery"), "1");
  EXPECT_EQ(settings_.Stored("NetworkSearchMdns"), "1");
  // The interfaces are not edited here and stay as they were.
  EXPECT_EQ(settings_.Stored("NetworkSearchInterfaces"), "0|veth-test");
}

}  // namespace
}  // namespace tellwen::admin
