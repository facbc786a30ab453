// kivweb's configuration file and command line, in-process.
#include "platform/isapi/web_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tellwen::isapi {
namespace {

using ::testing::HasSubstr;

TEST(WebConfig, ReadsEveryKeyAroundCommentsAndBlanks) {
  WebConfig config;
  EXPECT_EQ(ParseWebConfig("# comment\n\n listen=10.1.2.3:8080 \r\n  # another\n"
                           "root = /srv/www/\nscripts = /srv/scripts\naccount = web\nthreads=7\n",
                           "f", &config)
                .message(),
            "");
  EXPECT_EQ(config.listen_address, "10.1.2.3");
  EXPECT_EQ(config.listen_port, 8080);
  EXPECT_EQ(config.root, "/srv/www/");
  EXPECT_EQ(config.scripts, "/srv/scripts");
  EXPECT_EQ(config.account, "web");
  EXPECT_EQ(config.threads, 7);
}

TEST(WebConfig, RejectsWhatItCannotUseNamingTheLine) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"listen = 1.2.3.4:80\nlisten = 1.2.3.4:81\n", "f:2: 'listen' is set twice"},
      {"threads = 1025\n", "f:1: threads must be"},
      {"threads = -1\n", "threads must be"},
      {"threads = 4x\n", "threads must be"},
      {"listen = 1.2.3:80\n", "is not an IPv4 address"},
      {"listen = 1.2.3.4:\n", "is not a number from 0 to 65535"},
      {"listen = 1.2.3.4:65536\n", "is not a number from 0 to 65535"},
      {"account =\n", "account must not be empty"},
      {"scripts = \n", "scripts must be an absolute folder"},
      {"Root = /x\n", "unknown key 'Root'"},
      {"WebFollowLinksOutsideRoot = yes\n", "f:1: WebFollowLinksOutsideRoot must be 0 or 1"},
  };
  for (const Case& c : cases) {
    WebConfig config;
    EXPECT_THAT(ParseWebConfig(c.text, "f", &config).message(), HasSubstr(c.message)) << c.text;
  }
}

TEST(WebConfig, SavedFileReadsBackTheSame) {
  testing::TempDir dir;
  WebConfig config;
  config.listen_address = "127.0.0.1";
  config.listen_port = 8123;
  config.root = "/a b/root";
  config.scripts = "/a b/scripts/";
  config.account = "kiv_user";
  config.threads = 12;
  config.follow_links_outside_root = true;
  const std::string path = dir.path() + "/kivweb.conf";
  ASSERT_EQ(SaveWebConfig(path, config).message(), "");
  WebConfig back;
  back.threads = 1;
  ASSERT_EQ(LoadWebConfig(path, &back).message(), "");
  EXPECT_EQ(FormatWebConfig(back), FormatWebConfig(config));
  EXPECT_TRUE(back.follow_links_outside_root);
  EXPECT_THAT(SaveWebConfig(dir.path() + "/no/such/folder/x.conf", config).message(),
              HasSubstr("cannot write configuration file"));
}

TEST(WebConfig, CommandLineOverridesTheFile) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/kivweb.conf";
  WebConfig file;
  file.listen_address = "10.0.0.1";
  file.root = "/from/file";
  file.scripts = "/file/scripts";
  ASSERT_EQ(SaveWebConfig(path, file).message(), "");
  WebCommandLine line;
  ASSERT_EQ(
      ParseWebCommandLine({"--config", path, "--listen", "127.0.0.1:0", "--scripts", "/s"}, &line)
          .message(),
      "");
  WebConfig config;
  ASSERT_EQ(ResolveWebConfig(line, &config).message(), "");
  EXPECT_EQ(config.listen_address, "127.0.0.1");
  EXPECT_EQ(config.listen_port, 0);
  EXPECT_EQ(config.root, "/from/file");
  EXPECT_EQ(config.scripts, "/s");

  WebCommandLine help;
  EXPECT_EQ(ParseWebCommandLine({"--help"}, &help).message(), "");
  EXPECT_TRUE(help.help);
  WebCommandLine bad;
  EXPECT_THAT(ParseWebCommandLine({"--root"}, &bad).message(), HasSubstr("--root needs a value"));
  EXPECT_THAT(ParseWebCommandLine({"--root", ""}, &bad).message(),
              HasSubstr("--root needs a value"));
  EXPECT_THAT(ParseWebCommandLine({"/index"}, &bad).message(),
              HasSubstr("unknown argument '/index'"));
}

}  // namespace
}  // namespace tellwen::isapi
