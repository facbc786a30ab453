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
  const struct {
    const char* url;
    const char* path;
  } cases[] = {{"/scripts/", "/srv/scripts/"},
               {"/scripts", "/srv/scripts"},
               {"/scripts/KIVQuery.so", "/srv/scripts/KIVQuery.so"},
               {"/kiv/logo.gif", "/srv/www/kiv/logo.gif"},
               {"/", "/srv/www/"},
               {"/scriptsx/a", "/srv/www/scriptsx/a"},
               {"//kiv/./a//b/", "/srv/www/kiv/a/b/"}};
  for (const auto& c : cases) EXPECT_EQ(Map(c.url), c.path) << c.url;
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
