#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "admin/core/scan_account.h"
#include "platform/net/credentials_file.h"
#include "tests/indexer/fake_network.h"
#include "tests/support/fake_settings.h"
#include "tests/support/temp_dir.h"

namespace tellwen::admin {
namespace {

class ScanAccountRulesTest : public ::testing::Test {
 protected:
  ScanAccountRulesTest() : file_(dir_.path() + "/scan.credentials") {
    settings_.SetValue("ScanCredentialsFile", file_);
  }
  net::NetAccount Stored() {
    net::NetAccount account;
    EXPECT_EQ(net::ReadCredentialsFile(file_, &account), "");
    return account;
  }

  testing::TempDir dir_;
  std::string file_;
  testing::FakeSettings settings_;
};

TEST_F(ScanAccountRulesTest, TheBoxWritesTheFileAndKeepsAnUntypedPassword) {
  EXPECT_EQ(StoreScanAccountBox(settings_, {"scan", "OFFICE", ""}), "Type the account's password.");
  EXPECT_EQ(StoreScanAccountBox(settings_, {"scan", "OFFICE", "a\nb"}),
            "The password cannot hold a line break.");
  EXPECT_FALSE(std::filesystem::exists(file_));

  ASSERT_EQ(StoreScanAccountBox(settings_, {"scan", "OFFICE", "pw1"}), "");
  EXPECT_EQ(std::filesystem::status(file_).permissions(), std::filesystem::perms(0600));
  const ScanAccountShown shown = LoadScanAccountBox(settings_);
  EXPECT_EQ(shown.user, "scan");
  EXPECT_EQ(shown.domain, "OFFICE");

  // A new domain with the password box empty keeps the stored password; a
  // new user needs one of its own.
  ASSERT_EQ(StoreScanAccountBox(settings_, {"scan", "HQ", ""}), "");
  EXPECT_EQ(Stored().password, "pw1");
  EXPECT_EQ(Stored().domain, "HQ");
  EXPECT_EQ(StoreScanAccountBox(settings_, {"other", "HQ", ""}), "Type the account's password.");

  // No user: guest only, the file goes.
  ASSERT_EQ(StoreScanAccountBox(settings_, {"", "", ""}), "");
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(ScanAccountRulesTest, TheTestListsSharesWithTheAccountOnly) {
  testing::FakeNetwork network;
  network.AddShare("\\\\NAS\\docs");
  network.AddShare("\\\\NAS\\music");
  network.RequireAccount("\\\\NAS", "scan", "pw");
  EXPECT_EQ(TestScanAccount(network, {"scan", "pw", "", false}, "nas").text,
            "\\\\nas: 2 shares: docs, music");
  EXPECT_EQ(TestScanAccount(network, {"scan", "bad", "", false}, "\\\\NAS").text,
            "\\\\NAS: access denied");
  EXPECT_EQ(TestScanAccount(network, {"scan", "pw", "", false}, "\\\\GONE").text,
            "\\\\GONE: does not answer");
}

}  // namespace
}  // namespace tellwen::admin
