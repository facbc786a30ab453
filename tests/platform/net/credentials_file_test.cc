#include "platform/net/credentials_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace tellwen::net {
namespace {

using ::testing::HasSubstr;

TEST(CredentialsFile, ParsesTheAuthenticationFileFormat) {
  NetAccount account;
  EXPECT_EQ(ParseCredentials("# scan account\n\nUserName = scan\r\npassword =  p=a ss \n"
                             "domain=OFFICE\nrealm = OFFICE.EXAMPLE\n",
                             "f", &account),
            "");
  EXPECT_EQ(account.user, "scan");
  // Blanks after "=" are dropped, the rest is the password, blanks and "=" too.
  EXPECT_EQ(account.password, "p=a ss ");
  EXPECT_EQ(account.domain, "OFFICE");

  EXPECT_EQ(ParseCredentials("password = secret\nuser name\n", "/etc/x", &account),
            "/etc/x line 2: expected NAME = VALUE");
  // The message never quotes the file's values.
  const std::string unknown = ParseCredentials("passwd = secret\n", "/etc/x", &account);
  EXPECT_THAT(unknown, HasSubstr("/etc/x line 1: unknown name"));
  EXPECT_THAT(unknown, ::testing::Not(HasSubstr("secret")));
  EXPECT_EQ(account.password, "");
}

TEST(CredentialsFile, OnlyAFileNoOtherAccountMayReadIsRead) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/scan.credentials";
  NetAccount account;
  // No file: guest only, no error.
  EXPECT_EQ(ReadCredentialsFile(path, &account), "");
  EXPECT_EQ(account.user, "");

  ASSERT_EQ(WriteCredentialsFile(path, NetAccount{"scan", "s3cret", "OFFICE", false}), "");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(ReadCredentialsFile(path, &account), "");
  EXPECT_EQ(account.user, "scan");
  EXPECT_EQ(account.password, "s3cret");
  EXPECT_EQ(account.domain, "OFFICE");

  // Readable by others, or by a group that is not the owner's own.
  for (mode_t mode : {0644, 0604, 0620}) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    EXPECT_EQ(ReadCredentialsFile(path, &account),
              path + " is readable by other accounts; make it 0600")
        << std::oct << mode;
    EXPECT_EQ(account.password, "");
  }
  ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
  EXPECT_EQ(ReadCredentialsFile(path, &account), "");

  // A link is refused whatever it points at.
  const std::string link = dir.path() + "/link";
  std::filesystem::create_symlink(path, link);
  EXPECT_THAT(ReadCredentialsFile(link, &account), HasSubstr("symbolic link"));
}

TEST(CredentialsFile, ValuesThatWouldBreakTheFileAreRefusedAndNothingIsWritten) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/scan.credentials";
  EXPECT_EQ(WriteCredentialsFile(path, NetAccount{"scan", "two\nlines", "", false}),
            "The password cannot hold a line break.");
  EXPECT_EQ(WriteCredentialsFile(path, NetAccount{"scan", " lead", "", false}),
            "The password cannot start with a blank.");
  EXPECT_EQ(WriteCredentialsFile(path, NetAccount{"sc\ran", "pw", "", false}),
            "The user name cannot hold a line break.");
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            0);
}

}  // namespace
}  // namespace tellwen::net
