// The URL space: what maps where, and what never maps outside the folders.
#include "platform/isapi/url_path.h"

#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

std::string Map(const std::string& url) {
  std::string path;
  return MapUrlToPath(url, "/srv/www/", "/srv/scripts", &path) ? path : "<refused>";
}

TEST(UrlPath, MapsTheScriptsUrlToTheScriptsFolderAndTheRestUnderTheRoot) {
  EXPECT_EQ(Map("/scripts/"), "/srv/scripts/");
  EXPECT_EQ(Map("/scripts"), "/srv/scripts");
  EXPECT_EQ(Map("/scripts/KIVQuery.so"), "/srv/scripts/KIVQuery.so");
  EXPECT_EQ(Map("/kiv/logo.gif"), "/srv/www/kiv/logo.gif");
  EXPECT_EQ(Map("/"), "/srv/www/");
  EXPECT_EQ(Map("/scriptsx/a"), "/srv/www/scriptsx/a");
  EXPECT_EQ(Map("//kiv/./a//b/"), "/srv/www/kiv/a/b/");
  std::string path;
  ASSERT_TRUE(MapUrlToPath("/a", "/", "/", &path));
  EXPECT_EQ(path, "/a");
}

TEST(UrlPath, RefusesDotDotAndRelativeUrls) {
  for (const char* url : {"/..", "/../etc/passwd", "/kiv/../../x", "/scripts/../x", "/a/..", "",
                          "kiv/a", "/kiv/a/../b"}) {
    EXPECT_EQ(Map(url), "<refused>") << url;
  }
  EXPECT_EQ(Map("/kiv/..a/b"), "/srv/www/kiv/..a/b");  // a name, not a parent
}

TEST(UrlPath, SplitsTheLibraryNameFromThePathAfterIt) {
  std::string name, info;
  ASSERT_TRUE(SplitScriptUrl("/scripts/KIVQuery.so", &name, &info));
  EXPECT_EQ(name, "KIVQuery.so");
  EXPECT_EQ(info, "");
  ASSERT_TRUE(SplitScriptUrl("/scripts/KIVQuery.so/a/b", &name, &info));
  EXPECT_EQ(name, "KIVQuery.so");
  EXPECT_EQ(info, "/a/b");
  for (const char* url : {"/scripts", "/scripts/", "/scripts//x", "/scripts/../x", "/kiv/a.so",
                          "/scriptsKIVQuery.so"}) {
    EXPECT_FALSE(SplitScriptUrl(url, &name, &info)) << url;
  }
}

}  // namespace
}  // namespace tellwen::isapi
