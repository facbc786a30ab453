#include "setup/core/web_folders.h"

#include <gtest/gtest.h>

#include "base/folder_path.h"
#include "tests/setup/scratch_machine.h"

namespace tellwen::setup {
namespace {

TEST(WebFoldersTest, FoldersComeFromTheConfigurationWithTheirFinalSlash) {
  testing::TempDir dir;
  testing::WriteFile(dir.path() + "/kivweb.conf", "root = /srv/web\nscripts = /srv/scripts/\n");
  const WebFolders folders = DetectWebFolders(dir.path() + "/kivweb.conf");
  EXPECT_EQ(folders.root, "/srv/web/");
  EXPECT_EQ(folders.scripts, "/srv/scripts/");
  EXPECT_EQ(folders.warning, "");
}

TEST(WebFoldersTest, AMissingConfigurationGivesTheDefaultsWithTheDesignedWarnings) {
  const WebFolders folders = DetectWebFolders("/nonexistent/kivweb.conf");
  EXPECT_EQ(folders.root, kDefaultWebRoot);
  EXPECT_EQ(folders.scripts, kDefaultScriptsFolder);
  EXPECT_EQ(folders.warning,
            "Setup was unable to detect your IIS web root directory.\n"
            "GetWWWRootPath::ADsGetObject failed (Error: 0x2).\n"
            "Using default \"/var/www/tellwen/wwwroot/\".\n"
            "Setup was unable to detect your IIS scripts directory.\n"
            "GetScriptsPath::ADsGetObject failed (Error: 0x2).\n"
            "Using default \"/var/www/tellwen/scripts/\".");
}

TEST(WebFoldersTest, AConfigurationWithoutTheScriptsLineWarnsForThatFolderOnly) {
  testing::TempDir dir;
  testing::WriteFile(dir.path() + "/kivweb.conf", "root = /srv/web/\n");
  const WebFolders folders = DetectWebFolders(dir.path() + "/kivweb.conf");
  EXPECT_EQ(folders.root, "/srv/web/");
  EXPECT_EQ(folders.scripts, kDefaultScriptsFolder);
  EXPECT_EQ(folders.warning.find("web root"), std::string::npos);
  EXPECT_NE(folders.warning.find("GetScriptsPath: Invalid object."), std::string::npos);
}

TEST(WebFoldersTest, TheSiteAddressIsLowerCaseAndNamesAPortOtherThan80) {
  EXPECT_EQ(WithFinalSlash("/srv/web"), "/srv/web/");
  EXPECT_EQ(WithFinalSlash("/srv/web/"), "/srv/web/");
  EXPECT_EQ(SiteAddress("FILESERVER", 80), "http://fileserver/kiv/default.htm");
  EXPECT_EQ(SiteAddress("Host", 8080), "http://host:8080/kiv/default.htm");
}

}  // namespace
}  // namespace tellwen::setup
