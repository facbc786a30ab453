#include "platform/net/smb_url.h"

#include <gtest/gtest.h>

#include "platform/net/smb_network.h"
#include "tests/support/temp_dir.h"

namespace tellwen::net {
namespace {

TEST(SmbUrl, NetworkNamesBecomeEncodedUrls) {
  for (auto [unc, url] :
       {std::pair{"", "smb://"},
        {"\\\\PC1", "smb://PC1"},
        {"PC1", "smb://PC1"},
        {"\\\\PC1\\share\\dir", "smb://PC1/share/dir"},
        {"\\\\10.0.0.1\\my share\\100%#?;@:x", "smb://10.0.0.1/my%20share/100%25%23%3F%3B%40%3Ax"},
        {"\\\\PC\\h$\\\xC3\xBC", "smb://PC/h%24/%C3%BC"}}) {
    EXPECT_EQ(UncToSmbUrl(unc), url) << unc;
  }
  EXPECT_EQ(WorkgroupToSmbUrl("WORK GROUP"), "smb://WORK%20GROUP");
  EXPECT_EQ(ComputerOfUnc("\\\\PC1\\share\\x"), "PC1");
  EXPECT_EQ(ComputerOfUnc("PC1"), "PC1");
}

TEST(SmbUrl, PortComesFromTheEnvironmentWhenItIsAPortNumber) {
  {
    testing::ScopedEnv env("TELLWEN_SMB_PORT", "4455");
    EXPECT_EQ(SmbPortFromEnvironment(), 4455);
  }
  for (const char* bad : {"", "0", "65536", "44x", "-1"}) {
    testing::ScopedEnv env("TELLWEN_SMB_PORT", bad);
    EXPECT_EQ(SmbPortFromEnvironment(), 0) << bad;
  }
}

TEST(NetResourceSize, CountsTheRecordAndItsTexts) {
  NetResource r;
  size_t empty = EnumBufferBytes(r);
  r.remote_name = "\\\\PC1";
  EXPECT_EQ(EnumBufferBytes(r), empty + 5);
}

}  // namespace
}  // namespace tellwen::net
