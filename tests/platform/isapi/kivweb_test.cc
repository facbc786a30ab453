// kivweb as a process on 127.0.0.1: static files, the scripts folder and its
// extension libraries (through a test extension), the extension interface's
// callbacks, framing, concurrency, stopping and configuration.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/support/file_text.h"
#include "tests/support/http_client.h"
#include "tests/support/kivweb_process.h"
#include "tests/support/matchers.h"
#include "tests/support/slow_clients.h"
#include "tests/support/temp_dir.h"

#ifndef TEST_EXTENSION_PATH
#error "TEST_EXTENSION_PATH must name the test extension library"
#endif

namespace tellwen::testing {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A TCP port of 127.0.0.1 that is free now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

std::string ReadFile(const std::string& path) { return FileText(path); }

class KivwebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "/kiv");
    fs::create_directories(root_ + "/empty");
    fs::create_directories(scripts_);
    WriteFile(root_ + "/kiv/default.htm", "<html>entry page</html>");
    WriteFile(root_ + "/kiv/logo.gif", std::string("GIF89a\0\1\2logo", 13));
    WriteFile(root_ + "/kiv/sort.htc", "<component></component>");
    WriteFile(dir_.path() + "/secret.txt", "TOP SECRET");
    WriteFile(scripts_ + "/pingyes.gif", std::string("GIF89a\0yes\xff", 11));
    WriteFile(scripts_ + "/pingno.gif", "GIF89a no");
    WriteFile(scripts_ + "/Broken.so", "not a library");
    fs::copy_file(TEST_EXTENSION_PATH, scripts_ + "/Echo.so");
    WriteFile(record_, "");
    WriteFile(config_,
              "account = " + (RunAsAccount().empty() ? "kiv_user" : RunAsAccount()) + "\n");
  }

  // Starts kivweb over the test's folders.
  void Serve(const std::vector<std::string>& extra_args = {},
             const std::vector<std::string>& env = {}) {
    MakeReadable(dir_.path(), /*writable=*/true);
    std::vector<std::string> args = {"--config", config_, "--root", root_, "--scripts", scripts_};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    std::vector<std::string> environment = {"KIVWEB_TEST_RECORD=" + record_};
    environment.insert(environment.end(), env.begin(), env.end());
    const std::string error = server_.Start(args, dir_.path() + "/kivweb.log", environment);
    ASSERT_EQ(error, "");
  }

  int port() const { return server_.port(); }
  HttpResponse Ext(const std::string& query, const std::string& headers = "") {
    return Get(port(), "/scripts/Echo.so?" + query, headers);
  }

  TempDir dir_;
  std::string root_ = dir_.path() + "/root";
  std::string scripts_ = dir_.path() + "/scripts";
  std::string record_ = dir_.path() + "/record.txt";
  std::string config_ = dir_.path() + "/kivweb.conf";
  KivwebProcess server_;
};

TEST_F(KivwebTest, ServesStaticFilesAndLeadsTheRootToTheEntryPage) {
  Serve();
  HttpResponse page = Get(port(), "/kiv/default.htm");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body, "<html>entry page</html>");
  EXPECT_THAT(page.Header("content-type"), HasSubstr("text/html"));

  HttpResponse logo = Get(port(), "/kiv/logo.gif");
  EXPECT_EQ(logo.status, 200);
  EXPECT_EQ(logo.body, std::string("GIF89a\0\1\2logo", 13));
  EXPECT_EQ(logo.Header("content-type"), "image/gif");
  EXPECT_EQ(Get(port(), "/kiv/sort.htc").Header("content-type"), "text/x-component");

  HttpResponse entry = Get(port(), "/");
  EXPECT_EQ(entry.status, 302);
  EXPECT_EQ(entry.Header("location"), "/kiv/default.htm");
  EXPECT_EQ(Get(port(), "/kiv/").body, "<html>entry page</html>");
  // Pages must not be readable by scripts of other sites.
  EXPECT_EQ(page.Header("access-control-allow-origin"), "");
  EXPECT_TRUE(server_.WaitForLog("\"GET /kiv/default.htm HTTP/1.1\" 200")) << server_.Log();
}

TEST_F(KivwebTest, AnswersNotFoundForWhatIsNeitherAFileNorALibrary) {
  Serve();
  EXPECT_EQ(Get(port(), "/kiv/missing.htm").status, 404);
  EXPECT_EQ(Get(port(), "/empty/").status, 404);  // no entry page, never listed
  EXPECT_EQ(Get(port(), "/scripts").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/Missing.so?Command").status, 404);
  EXPECT_EQ(Get(port(), "/scriptsx").status, 404);
}

TEST_F(KivwebTest, ServesSingleByteRangesOfStaticFiles) {
  WriteFile(root_ + "/kiv/digits.txt", "0123456789");
  Serve();
  struct Case {
    std::string range;
    int status;
    std::string body;
    std::string content_range;
  } cases[] = {
      {"bytes=-1", 206, "9", "bytes 9-9/10"},
      {"bytes=3-5", 206, "345", "bytes 3-5/10"},
      {"bytes=8-", 206, "89", "bytes 8-9/10"},
      {"bytes=5-100", 206, "56789", "bytes 5-9/10"},
      {"bytes=-20", 206, "0123456789", "bytes 0-9/10"},
      {"BYTES = 0-0", 206, "0", "bytes 0-0/10"},
      {"bytes=10-", 416, "", "bytes */10"},
      {"bytes=10-20", 416, "", "bytes */10"},
      {"bytes=-0", 416, "", "bytes */10"},
      // Not a single well-formed range: the whole file.
      {"bytes=5-2", 200, "0123456789", ""},
      {"bytes=0-1,3-4", 200, "0123456789", ""},
      {"bytes=1-x", 200, "0123456789", ""},
      {"items=0-1", 200, "0123456789", ""},
  };
  HttpConnection connection(port());  // one connection: each answer keeps its framing
  for (const Case& c : cases) {
    ASSERT_TRUE(connection.Send("GET /kiv/digits.txt HTTP/1.1\r\nHost: x\r\nRange: " + c.range +
                                "\r\n\r\n"));
    HttpResponse response = connection.Read();
    EXPECT_EQ(response.status, c.status) << c.range;
    EXPECT_EQ(response.Header("content-range"), c.content_range) << c.range;
    if (c.status != 416) {
      EXPECT_EQ(response.body, c.body) << c.range;
      EXPECT_EQ(response.Header("content-type"), "text/plain") << c.range;
    }
  }
  // A range that was asked for a version of the file other than this one:
  // the whole file.
  HttpResponse whole = Get(port(), "/kiv/digits.txt",
                           "Range: bytes=0-1\r\nIf-Range: Tue, 01 Jan 2019 00:00:00 GMT\r\n");
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, "0123456789");
  const std::string modified = whole.Header("last-modified");
  ASSERT_NE(modified, "");
  EXPECT_EQ(
      Get(port(), "/kiv/digits.txt", "Range: bytes=0-1\r\nIf-Range: " + modified + "\r\n").body,
      "01");
  // A resumed page (folder entry) and a head request.
  EXPECT_EQ(Get(port(), "/kiv/", "Range: bytes=-7\r\n").body, "</html>");
  HttpConnection head(port());
  ASSERT_TRUE(head.Send("HEAD /kiv/digits.txt HTTP/1.1\r\nHost: x\r\nRange: bytes=-1\r\n\r\n"));
  HttpResponse head_response = head.Read(/*head_only=*/true);
  EXPECT_EQ(head_response.status, 200);
  EXPECT_EQ(head_response.Header("content-length"), "10");
}

TEST_F(KivwebTest, AnswersAnUnreadableFileWithoutNamingAnyPath) {
  WriteFile(root_ + "/kiv/locked.htm", "<html>locked</html>");
  Serve();
  fs::permissions(root_ + "/kiv/locked.htm", fs::perms::none);
  if (geteuid() != 0 && access((root_ + "/kiv/locked.htm").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "this user reads files whatever their mode";
  }
  for (const char* method : {"GET", "HEAD"}) {
    HttpConnection connection(port());
    connection.Send(std::string(method) + " /kiv/locked.htm HTTP/1.1\r\nHost: x\r\n\r\n");
    HttpResponse response = connection.Read(std::string(method) == "HEAD");
    EXPECT_EQ(response.status, 404) << method;
    EXPECT_THAT(response.body, Not(HasSubstr(root_))) << method;
    EXPECT_THAT(response.body, Not(HasSubstr("locked"))) << method;
  }
  EXPECT_EQ(Get(port(), "/kiv/default.htm").status, 200);
}

TEST_F(KivwebTest, RefusesOversizedHeadsAndGoesOnServing) {
  Serve();
  const std::string huge(64 << 10, 'a');
  HttpConnection connection(port());
  connection.Send("GET /kiv/default.htm HTTP/1.1\r\nHost: x\r\nX-Big: " + huge + "\r\n\r\n");
  HttpResponse response = connection.Read();
  EXPECT_NE(response.status, 200);
  EXPECT_TRUE(connection.ClosedByServer(10000));
  // More header lines than civetweb keeps: refused, for one it dropped could
  // be the length of a body.
  std::string many;
  for (int i = 0; i < 200; ++i) many += "X-H" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(
      Fetch(port(), "GET /scripts/Echo.so?vars HTTP/1.1\r\nHost: x\r\n" + many + "\r\n").status,
      431);
  EXPECT_EQ(Get(port(), "/kiv/default.htm").status, 200);
}

// Civetweb refuses some requests before it has read their bodies, and
// closes: the front hands on that answer, not one of its own.
TEST_F(KivwebTest, RelaysARefusalSentBeforeTheBodyWasReadAndServesFilesOnlyToRead) {
  Serve();
  const std::string body(1 << 20, 'a');
  const HttpResponse put = Fetch(port(),
                                 "PUT /kiv/default.htm HTTP/1.1\r\nHost: x\r\n"
                                 "Connection: close\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_EQ(put.status, 405);
  EXPECT_EQ(put.Header("allow"), "GET, HEAD");
  EXPECT_EQ(Fetch(port(), "PROPFIND /kiv/ HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").status,
            405);
}

// A connection to the front from source, a loopback address of the test's
// choosing; -1 when none can be made.
int ConnectFrom(const char* source, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  const timeval patience{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  return fd;
}

// The status of the answer waiting on fd within wait_ms, 0 when none.
int AnswerStatus(int fd, int wait_ms) {
  pollfd ready{fd, POLLIN, 0};
  char line[32] = "";
  if (poll(&ready, 1, wait_ms) != 1 || recv(fd, line, sizeof line - 1, 0) < 12) return 0;
  return std::atoi(line + 9);
}

TEST_F(KivwebTest, OneComputerCannotFillTheRequestBufferForTheOthers) {
  Serve();
  // Bodies that stop a byte short, from one address, past its share.
  const std::size_t length = 12 << 20;
  const std::string request = "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                              std::to_string(length) + "\r\n\r\n" + std::string(length - 1, 'a');
  std::vector<int> held;
  for (int i = 0; i < 3; ++i) {
    const int fd = ConnectFrom("127.0.0.1", port());
    ASSERT_GE(fd, 0);
    for (std::size_t at = 0; at < request.size();) {
      const ssize_t sent = send(fd, request.data() + at, request.size() - at, MSG_NOSIGNAL);
      if (sent <= 0) break;
      at += static_cast<std::size_t>(sent);
    }
    held.push_back(fd);
  }
  int busy = 0;
  for (int fd : held) busy += AnswerStatus(fd, 1000) == 503 ? 1 : 0;
  EXPECT_GE(busy, 1);
  // Another computer is served meanwhile.
  const int other = ConnectFrom("127.0.0.2", port());
  ASSERT_GE(other, 0);
  const std::string get = "GET /kiv/default.htm HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(send(other, get.data(), get.size(), MSG_NOSIGNAL), static_cast<ssize_t>(get.size()));
  EXPECT_EQ(AnswerStatus(other, 5000), 200);
  close(other);
  for (int fd : held) close(fd);
}

TEST_F(KivwebTest, RefusesRequestsThatCanBeReadTwoWaysAtOnceAndCloses) {
  Serve();
  // Each is followed by a request hidden where one reading ends the body.
  const std::string hidden = "GET /kiv/hidden-request.htm HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string heads[] = {
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
      "Content-Length: " +
          std::to_string(5 + hidden.size()) + "\r\n\r\nhello",
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length: " +
          std::to_string(5 + hidden.size()) + "\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length: 8x\r\n\r\nabcdefgh",
      "POST /kiv/default.htm HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nContent-Length: "
      "4\r\n\r\nabc",
      "POST /scripts/Echo.so?post HTTP/1.0\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
      "0\r\n\r\n",
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip, "
      "chunked\r\n\r\n0\r\n\r\n",
      // Heads whose lines can be read two ways.
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length : 8\r\n\r\nabcdefgh",
      "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nContent-Length\t: 8\r\n\r\nabcdefgh",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nX-A: 1\r\n Content-Length: 5\r\n\r\n",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nHost: y\r\n\r\n",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nConnection: keep-alive\r\n\r\n",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nHost: x/y\r\n\r\n",
      "GET /scripts/Echo.so?post HTTP/1.1\nHost: x\n\n",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nHost: x\nX-A: 1\r\n\r\n",
      "GET /scripts/Echo.so?post HTTP/1.1\r\nHost: x\rX-A: 1\r\n\r\n",
      "GET  /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\n\r\n",
  };
  for (const std::string& head : heads) {
    HttpConnection connection(port());
    connection.set_read_timeout_ms(5000);  // refused at once, not at a timeout
    ASSERT_TRUE(connection.Send(head + hidden));
    HttpResponse response = connection.Read();
    EXPECT_EQ(response.status, 400) << head;
    EXPECT_EQ(response.Header("connection"), "close") << head;
    EXPECT_TRUE(connection.ClosedByServer(5000)) << head;
  }
  EXPECT_EQ(Get(port(), "/kiv/default.htm").status, 200);
  EXPECT_TRUE(server_.WaitForLog("\"GET /kiv/default.htm HTTP/1.1\" 200"));
  EXPECT_THAT(server_.Log(), Not(HasSubstr("hidden-request"))) << server_.Log();
  EXPECT_THAT(server_.Log(), Not(HasSubstr("?post HTTP/1.1\" 200")));
  EXPECT_THAT(server_.Log(), Not(HasSubstr("?post HTTP/1.0\" 200")));
}

TEST_F(KivwebTest, ServesAbsoluteTargetsAsTheirPathAndRefusesTheAsteriskForm) {
  Serve();
  HttpResponse absolute =
      Fetch(port(), "GET http://127.0.0.1/kiv/ HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(absolute.status, 200);
  EXPECT_EQ(absolute.body, "<html>entry page</html>");
  // The target's host stands for the Host line.
  HttpResponse vars = Fetch(port(),
                            "GET HTTP://site.example:81/scripts/Echo.so?vars?names=HTTP_HOST,URL "
                            "HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_THAT(vars.body, HasSubstrings({"HTTP_HOST=site.example:81\n", "URL=/scripts/Echo.so\n"}));
  struct Case {
    std::string request_line;
    int status;
  } cases[] = {
      {"OPTIONS * HTTP/1.1", 501},
      {"GET * HTTP/1.1", 400},
      {"CONNECT 127.0.0.1:80 HTTP/1.1", 501},
      {"GET http://user@127.0.0.1/kiv/ HTTP/1.1", 400},
      {"GET ftp://127.0.0.1/kiv/ HTTP/1.1", 400},
      {"GET kiv/default.htm HTTP/1.1", 400},
  };
  for (const Case& c : cases) {
    HttpConnection connection(port());
    connection.set_read_timeout_ms(5000);
    ASSERT_TRUE(connection.Send(c.request_line + "\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(connection.Read().status, c.status) << c.request_line;
    EXPECT_TRUE(connection.ClosedByServer(5000)) << c.request_line;
  }
}

TEST_F(KivwebTest, RefusesPathsThatLeaveTheWebRoot) {
  fs::create_directories(root_ + "/scripts");  // a folder the handler must not shadow wrongly
  Serve();
  const std::vector<std::string> paths = {
      "/../secret.txt",
      "/kiv/../../secret.txt",
      "/%2e%2e/secret.txt",
      "/%2E%2E/%2E%2E/secret.txt",
      "/kiv/..%2f..%2fsecret.txt",
      "/kiv/%2e%2e%2f%2e%2e%2fsecret.txt",
      "/..%5csecret.txt",
      "/kiv/..\\..\\secret.txt",
      "//../secret.txt",
      "/./../secret.txt",
      "/scripts/../../secret.txt",
      "/scripts/..%2f..%2fsecret.txt",
      "/scripts/Echo.so/../../../secret.txt",
      "/%252e%252e/secret.txt",
      "/kiv/....//secret.txt",
  };
  for (const std::string& path : paths) {
    for (const char* version : {"HTTP/1.1", "HTTP/1.0"}) {
      HttpResponse response =
          Fetch(port(), "GET " + path + " " + version + "\r\nHost: x\r\nConnection: close\r\n\r\n");
      EXPECT_NE(response.status, 200) << path;
      EXPECT_THAT(response.body, Not(HasSubstr("TOP SECRET"))) << path;
    }
  }
}

TEST_F(KivwebTest, FollowsLinksOutOfTheWebRootOnlyWhenConfiguredTo) {
  fs::create_directories(dir_.path() + "/outside");
  WriteFile(dir_.path() + "/outside/page.htm", "OUTSIDE");
  WriteFile(dir_.path() + "/outside/default.htm", "OUTSIDE ENTRY");
  fs::create_directory_symlink(dir_.path() + "/outside", root_ + "/kiv/lnk");
  fs::create_symlink("../../secret.txt", root_ + "/kiv/secret.txt");
  fs::create_directories(root_ + "/entry");
  fs::create_symlink(dir_.path() + "/outside/default.htm", root_ + "/entry/default.htm");
  fs::create_symlink("default.htm", root_ + "/kiv/inside.htm");
  const char* outside[] = {"/kiv/lnk/page.htm", "/kiv/lnk/", "/kiv/secret.txt", "/entry/"};
  Serve();
  for (const char* url : outside) {
    HttpResponse response = Get(port(), url);
    EXPECT_EQ(response.status, 404) << url;
    EXPECT_THAT(response.body, Not(HasSubstr("OUTSIDE"))) << url;
    EXPECT_EQ(Get(port(), url, "Range: bytes=0-3\r\n").status, 404) << url;
  }
  EXPECT_EQ(Get(port(), "/kiv/inside.htm").body, "<html>entry page</html>");
  server_.Stop();
  WriteFile(config_, ReadFile(config_) + "WebFollowLinksOutsideRoot = 1\n");
  Serve();
  EXPECT_EQ(Get(port(), "/kiv/lnk/page.htm").body, "OUTSIDE");
  EXPECT_EQ(Get(port(), "/kiv/secret.txt").body, "TOP SECRET");
  EXPECT_EQ(Get(port(), "/entry/").body, "OUTSIDE ENTRY");
}

TEST_F(KivwebTest, NeverRunsProgramsOfTheWebRoot) {
  const std::string marker = dir_.path() + "/ran";
  for (const char* name : {"/kiv/x.cgi", "/kiv/x.pl", "/kiv/x.shtml"}) {
    WriteFile(root_ + name, "#!/bin/sh\ntouch " + marker + "\necho ran\n<!--#exec cmd=\"touch " +
                                marker + "\" -->\n");
    fs::permissions(root_ + name, fs::perms::all);
  }
  Serve();
  for (const char* name : {"/kiv/x.cgi", "/kiv/x.pl", "/kiv/x.shtml"}) {
    HttpResponse response = Get(port(), name);
    EXPECT_EQ(response.status, 200) << name;
    EXPECT_THAT(response.body, HasSubstr("#!/bin/sh")) << name;  // sent as it stands
  }
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(KivwebTest, ReachesOnlyLibrariesOfTheScriptsFolderByTheirExactName) {
  Serve();
  EXPECT_EQ(Ext("vars").status, 200);
  EXPECT_EQ(Get(port(), "/scripts/%45cho.so?vars").status, 200);  // the same name, encoded
  EXPECT_EQ(Get(port(), "/scripts/echo.so?vars").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/Echo.s?vars").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/Echo.so.so?vars").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/" + scripts_ + "/Echo.so?vars").status, 404);
  EXPECT_EQ(Get(port(), "/scripts/%2fusr%2flib%2fx.so?vars").status, 404);
  // A library that cannot load is told apart from an unknown one.
  HttpResponse broken = Get(port(), "/scripts/Broken.so?x");
  EXPECT_EQ(broken.status, 500);
  EXPECT_THAT(server_.Log(), HasSubstr("extension Broken.so not loaded"));
  // Libraries are what the folder held at start: a later one is not opened.
  fs::copy_file(TEST_EXTENSION_PATH, scripts_ + "/Later.so");
  EXPECT_EQ(Get(port(), "/scripts/Later.so?vars").status, 404);
  EXPECT_EQ(ReadFile(record_), "load\n");
}

TEST_F(KivwebTest, NeverSendsOtherFilesOfTheScriptsFolder) {
  Serve();
  for (const char* path : {"/scripts/pingyes.gif", "/scripts/pingno.gif", "/scripts/Echo.so",
                           "/scripts/Broken.so", "/scripts/Echo.so/../pingyes.gif"}) {
    HttpResponse response = Get(port(), path);
    EXPECT_THAT(response.body, Not(HasSubstr("GIF89a"))) << path;
    EXPECT_THAT(response.body, Not(HasSubstr("ELF"))) << path;
  }
}

TEST_F(KivwebTest, AnswersExtensionsFromTheFirstConnectionItAccepts) {
  MakeReadable(dir_.path(), /*writable=*/true);
  for (int round = 0; round < 8; ++round) {
    const int free_port = FreePort();
    ASSERT_NE(free_port, 0);
    KivwebProcess process;
    std::string error;
    std::thread starter([&] {
      error = process.Start({"--config", config_, "--root", root_, "--scripts", scripts_,
                             "--listen", "127.0.0.1:" + std::to_string(free_port)},
                            dir_.path() + "/start.log", {"KIVWEB_TEST_RECORD=" + record_});
    });
    // The first connection the port takes gets the extension's answer.
    HttpResponse first;
    bool connected = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!connected && std::chrono::steady_clock::now() < deadline) {
      HttpConnection connection(free_port);
      connected = connection.connected();
      if (!connected) continue;
      connection.Send("GET /scripts/Echo.so?vars HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
      first = connection.Read();
    }
    starter.join();
    ASSERT_EQ(error, "");
    EXPECT_TRUE(connected);
    EXPECT_EQ(first.status, 200) << "round " << round << ": " << first.body;
  }
}

TEST_F(KivwebTest, AnswersFreshRequestsWhileIdleAndTricklingClientsHoldConnections) {
  constexpr int kIdle = 1000, kTrickling = 64;
  // This test holds over a thousand sockets: its own open-file limit first.
  if (!RaiseOpenFileLimit(kIdle + 4 * kTrickling + 256)) GTEST_SKIP() << "ulimit -n too low";
  Serve();
  SlowClients clients(port());
  std::map<std::string, long> slowest;
  auto measure = [&](const std::string& load) {
    slowest[load + ", a static file"] = SlowestFreshAnswer(port(), "/kiv/default.htm", 4);
    slowest[load + ", an extension page"] = SlowestFreshAnswer(port(), "/scripts/Echo.so?vars", 4);
  };

  ASSERT_TRUE(clients.HoldIdle(kIdle));
  measure("1000 idle connections");
  // Posted bodies that promise 100 kB and come a byte at a time, and heads
  // that never end, one line at a time.
  const auto trickle_start = std::chrono::steady_clock::now();
  ASSERT_TRUE(clients.Trickle(kTrickling, "/scripts/Echo.so?post", "/kiv/default.htm"));
  measure("1000 idle, 64 trickling bodies and 64 unending heads");
  std::this_thread::sleep_for(std::chrono::seconds(2));
  measure("the same, 2 s on");
  // Each trickler is let go with 408 once its time is up: the head's 10 s,
  // the bodies' too, for a body earns more time only with the bytes that
  // come (a byte a second here), not with the length it announces.
  std::this_thread::sleep_until(trickle_start + std::chrono::milliseconds(11500));
  EXPECT_EQ(clients.TimedOut(), 2 * kTrickling);

  for (const auto& [load, ms] : slowest) {
    std::cout << "slowest fresh answer with " << load << ": " << ms << " ms\n";
    EXPECT_GE(ms, 0) << load << ": not answered";
    EXPECT_LT(ms, 1000) << load;
  }
}

// The TCP ports process pid listens on.
std::vector<int> ListeningPorts(pid_t pid) {
  std::set<std::string> inodes;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    std::error_code error;
    const std::string target = fs::read_symlink(fd.path(), error).string();
    if (target.compare(0, 8, "socket:[") == 0) inodes.insert(target.substr(8, target.size() - 9));
  }
  std::vector<int> ports;
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // column names
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
        timeout >> inode;
    if (state == "0A" && inodes.count(inode) != 0) {
      ports.push_back(std::stoi(local.substr(local.find(':') + 1), nullptr, 16));
    }
  }
  return ports;
}

TEST_F(KivwebTest, ServesOnlyThroughItsFront) {
  Serve();
  const std::vector<int> ports = ListeningPorts(server_.pid());
  ASSERT_EQ(ports.size(), 2u);  // the front's and the request threads'
  for (int listening : ports) {
    if (listening == port()) continue;
    // A client of this machine that finds the request threads' port is
    // refused: the front alone knows the client of a request.
    HttpResponse direct = Get(listening, "/scripts/Echo.so?vars");
    EXPECT_EQ(direct.status, 403);
    EXPECT_THAT(direct.body, Not(HasSubstr("REMOTE_ADDR")));
    EXPECT_EQ(Get(listening, "/kiv/default.htm").status, 403);
  }
  EXPECT_EQ(Get(port(), "/kiv/default.htm").status, 200);
}

TEST_F(KivwebTest, RefusesALibraryWhoseVersionCallFails) {
  Serve({}, {"KIVWEB_TEST_REFUSE_LOAD=1"});
  EXPECT_EQ(Ext("vars").status, 500);
  EXPECT_THAT(server_.Log(), HasSubstr("GetExtensionVersion returned false"));
  EXPECT_EQ(server_.Stop(), 0);
  EXPECT_EQ(ReadFile(record_), "load\n");  // never terminated: it never started
}

TEST_F(KivwebTest, GivesTheExtensionTheRequestsServerVariables) {
  Serve();
  const std::string names =
      "REMOTE_ADDR,REMOTE_HOST,REMOTE_USER,SCRIPT_NAME,URL,QUERY_STRING,REQUEST_METHOD,"
      "CONTENT_LENGTH,SERVER_NAME,SERVER_PORT,SERVER_PROTOCOL,HTTP_HOST,HTTP_USER_AGENT,"
      "HTTP_REFERER,HTTP_COOKIE,HTTP_X_TELLWEN_TEST,HTTP_ACCEPT_LANGUAGE,NO_SUCH_VARIABLE";
  HttpResponse response =
      Ext("vars?names=" + names + "&search=a%20b%27",
          "User-Agent: TestAgent/1.0\r\nCookie: a=1\r\nCookie: b=2\r\nX-Tellwen-Test: yes\r\n");
  ASSERT_EQ(response.status, 200);
  const std::string& body = response.body;
  EXPECT_THAT(
      body,
      HasSubstrings({"REMOTE_ADDR=127.0.0.1\n", "REMOTE_HOST=127.0.0.1\n", "REMOTE_USER=\n",
                     "SCRIPT_NAME=/scripts/Echo.so\n", "URL=/scripts/Echo.so\n",
                     "QUERY_STRING=vars?names=" + names + "&search=a%20b%27\n",
                     "REQUEST_METHOD=GET\n", "CONTENT_LENGTH=0\n", "SERVER_NAME=127.0.0.1\n",
                     "SERVER_PORT=" + std::to_string(port()) + "\n", "SERVER_PROTOCOL=HTTP/1.1\n",
                     "HTTP_HOST=127.0.0.1:" + std::to_string(port()) + "\n",
                     "HTTP_USER_AGENT=TestAgent/1.0\n", "HTTP_REFERER unknown\n",
                     "HTTP_COOKIE=a=1; b=2\n", "HTTP_X_TELLWEN_TEST=yes\n",
                     "HTTP_ACCEPT_LANGUAGE unknown\n", "NO_SUCH_VARIABLE unknown\n"}));
  // The extension's log text joins the access line.
  EXPECT_TRUE(server_.WaitForLog("[test:vars]")) << server_.Log();

  // A buffer too small is refused with the size needed, NUL included.
  EXPECT_EQ(Ext("small?name=REMOTE_ADDR").body, "refused size=10");
  EXPECT_EQ(Ext("small?name=REQUEST_METHOD").body, "ok size=4");
}

TEST_F(KivwebTest, HandsPostedDataThroughTheBlockAndReadClient) {
  Serve();
  std::string data;
  for (int i = 0; data.size() < 100000; ++i) data += "search=" + std::to_string(i) + "&";
  HttpResponse response = Post(port(), "/scripts/Echo.so?post", data);
  ASSERT_EQ(response.status, 200);
  const std::string expected_head = "total=" + std::to_string(data.size()) +
                                    " available=49152 got=" + std::to_string(data.size()) + "\n";
  EXPECT_EQ(response.body.substr(0, expected_head.size()), expected_head);
  EXPECT_TRUE(response.body.substr(expected_head.size()) == data);

  HttpResponse small = Post(port(), "/scripts/Echo.so?post", "a=1&b=2");
  EXPECT_EQ(small.body, "total=7 available=7 got=7\na=1&b=2");

  // A chunked body arrives whole, with its length known, whatever the
  // chunk lines carry after their sizes.
  HttpResponse chunked = Fetch(port(),
                               "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nConnection: "
                               "close\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "4;name=value\r\nabcd\r\n3 \nefg\n0\r\n\r\n");
  EXPECT_EQ(chunked.body, "total=7 available=7 got=7\nabcdefg");

  // More than kivweb accepts is refused before the extension runs.
  HttpResponse huge = Fetch(port(),
                            "POST /scripts/Echo.so?post HTTP/1.1\r\nHost: x\r\nConnection: "
                            "close\r\nContent-Length: 999999999\r\n\r\nabc");
  EXPECT_EQ(huge.status, 413);
}

TEST_F(KivwebTest, MapsUrlsUnderTheRootAndTheScriptsFolder) {
  Serve();
  EXPECT_EQ(Ext("map?url=/scripts/").body,
            scripts_ + "/ size=" + std::to_string(scripts_.size() + 2));
  EXPECT_EQ(Ext("map?url=/scripts").body.substr(0, scripts_.size() + 1), scripts_ + " ");
  EXPECT_EQ(Ext("map?url=/kiv/logo.gif").body.substr(0, root_.size() + 14),
            root_ + "/kiv/logo.gif ");
  EXPECT_EQ(Ext("map?url=/").body.substr(0, root_.size() + 2), root_ + "/ ");
  EXPECT_EQ(Ext("map?url=/kiv/../../secret.txt").body, "map failed");
  EXPECT_EQ(Ext("map?url=relative").body, "map failed");
}

TEST_F(KivwebTest, SendsAFileWithTheHeadTheExtensionWrote) {
  Serve();
  HttpResponse ping = Ext("ping");
  ASSERT_EQ(ping.status, 200);
  EXPECT_EQ(ping.body, std::string("GIF89a\0yes\xff", 11));
  EXPECT_EQ(ping.Header("content-type"), "image/gif");
  EXPECT_EQ(ping.Header("content-length"), "11");
  EXPECT_EQ(ping.headers.count("content-length"), 1u);  // the extension's own is not doubled

  HttpResponse file = Ext("file?path=" + root_ + "/kiv/default.htm");
  EXPECT_EQ(file.body, "<html>entry page</html>");
  EXPECT_EQ(file.Header("content-type"), "application/octet-stream");
  EXPECT_EQ(Ext("file?path=" + root_ + "/missing").body,
            "FileOpen failed on '" + root_ + "/missing'");
}

TEST_F(KivwebTest, ResumesAFileTheExtensionSendsWhole) {
  WriteFile(root_ + "/kiv/digits.txt", "0123456789");
  Serve();
  const std::string file = "file?path=" + root_ + "/kiv/digits.txt";
  HttpResponse whole = Ext(file);
  ASSERT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, "0123456789");
  EXPECT_EQ(whole.Header("accept-ranges"), "bytes");
  const std::string modified = whole.Header("last-modified");
  ASSERT_NE(modified, "");

  HttpResponse rest = Ext(file, "Range: bytes=3-\r\n");
  EXPECT_EQ(rest.status, 206);
  EXPECT_EQ(rest.body, "3456789");
  EXPECT_EQ(rest.Header("content-range"), "bytes 3-9/10");
  EXPECT_EQ(rest.Header("content-type"), "application/octet-stream");
  EXPECT_EQ(Ext(file, "Range: bytes=-1\r\nIf-Range: " + modified + "\r\n").body, "9");
  HttpResponse past = Ext(file, "Range: bytes=10-\r\n");
  EXPECT_EQ(past.status, 416);
  EXPECT_EQ(past.Header("content-range"), "bytes */10");
  EXPECT_EQ(past.body, "");
  // Another version of the file than the one the range was asked of.
  HttpResponse changed =
      Ext(file, "Range: bytes=3-\r\nIf-Range: Tue, 01 Jan 2019 00:00:00 GMT\r\n");
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "0123456789");
  // The whole head given as the extension interface allows, as downloads send it.
  HttpResponse ping = Ext("ping", "Range: bytes=-3\r\n");
  EXPECT_EQ(ping.status, 206);
  EXPECT_EQ(ping.body, std::string("es\xff", 3));
  EXPECT_EQ(ping.Header("content-type"), "image/gif");
}

TEST_F(KivwebTest, StreamsLargeFilesInBoundedMemory) {
  const std::string big = dir_.path() + "/big.bin";
  {
    std::ofstream out(big, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (int i = 0; i < 48; ++i) {
      for (std::size_t j = 0; j < block.size(); j += 4096)
        block[j] = static_cast<char>('a' + i % 26);
      out << block;
    }
  }
  Serve();
  Ext("vars");  // warm up
  const long before = server_.PeakRssKb();
  HttpResponse response = Ext("file?path=" + big);
  ASSERT_EQ(response.status, 200);
  ASSERT_EQ(response.body.size(), 48u << 20);
  EXPECT_TRUE(response.body == ReadFile(big));
  const long growth = server_.PeakRssKb() - before;
  EXPECT_LT(growth, 16 * 1024) << "peak RSS grew by " << growth << " KiB for a 48 MiB file";
}

TEST_F(KivwebTest, KeepsConnectionsOpenAcrossExtensionResponses) {
  Serve();
  HttpConnection connection(port());
  ASSERT_TRUE(connection.connected());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(connection.Send("GET /scripts/Echo.so?pieces?n=500 HTTP/1.1\r\nHost: x\r\n\r\n"));
    HttpResponse pieces = connection.Read();
    ASSERT_EQ(pieces.status, 200) << i;
    EXPECT_TRUE(pieces.chunked);
    EXPECT_EQ(pieces.body.size(), 500u + 13u);
    EXPECT_EQ(pieces.body.substr(pieces.body.size() - 7), "</html>");
    ASSERT_TRUE(connection.Send("GET /kiv/logo.gif HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(connection.Read().status, 200);
    ASSERT_TRUE(connection.Send(
        "POST /scripts/Echo.so?ping HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc"));
    EXPECT_EQ(connection.Read().body, std::string("GIF89a\0yes\xff", 11));
  }
  // HTTP/1.0 has no chunks: the body ends with the connection.
  HttpConnection old(port());
  ASSERT_TRUE(old.Send("GET /scripts/Echo.so?pieces?n=20 HTTP/1.0\r\n\r\n"));
  HttpResponse response = old.Read();
  EXPECT_EQ(response.status, 200);
  EXPECT_FALSE(response.chunked);
  EXPECT_EQ(response.body, "<html>01234567890123456789</html>");
  // HEAD and a 304: the head only, and the connection stays usable.
  HttpConnection head(port());
  ASSERT_TRUE(head.Send("HEAD /scripts/Echo.so?pieces?n=20 HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(head.Read(/*head_only=*/true).status, 200);
  ASSERT_TRUE(head.Send("GET /kiv/logo.gif HTTP/1.1\r\nHost: x\r\n\r\n"));
  const HttpResponse logo = head.Read();
  ASSERT_EQ(logo.status, 200);
  ASSERT_TRUE(head.Send("GET /kiv/logo.gif HTTP/1.1\r\nHost: x\r\nIf-Modified-Since: " +
                        logo.Header("last-modified") + "\r\n\r\n"));
  EXPECT_EQ(head.Read(/*head_only=*/true).status, 304);
  ASSERT_TRUE(head.Send("GET /kiv/logo.gif HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_EQ(head.Read().status, 200);
}

TEST_F(KivwebTest, ChecksTheHeadTheExtensionSends) {
  Serve();
  HttpResponse moved = Ext("header");
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.Header("location"), "/kiv/default.htm");
  EXPECT_EQ(moved.Header("x-kept"), "yes");
  EXPECT_EQ(moved.Header("set-cookie"), "");
  EXPECT_EQ(moved.Header("x-bare"), "");
  EXPECT_EQ(moved.Header("content-length"), "");  // kivweb frames the body itself
  EXPECT_EQ(moved.body, "<html>moved</html>");

  HttpResponse bad = Ext("badstatus");
  EXPECT_EQ(bad.status, 200);
  EXPECT_EQ(bad.Header("set-cookie"), "");
  EXPECT_EQ(bad.body, "refused");
  // Without a Content-Type of its own, a page is HTML.
  EXPECT_EQ(Ext("pieces?n=1").Header("content-type"), "text/html");
}

TEST_F(KivwebTest, AnswersServerErrorWhenTheExtensionFailsSilently) {
  Serve();
  EXPECT_EQ(Ext("error").status, 500);
  EXPECT_EQ(Ext("vars").status, 200);  // and goes on serving
}

TEST_F(KivwebTest, ServesConcurrentRequestsWithDistinctConnIds) {
  Serve({"--listen", "127.0.0.1:0"});
  std::atomic<int> failures{0}, duplicates{0}, max_in_flight{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 16; ++c) {
    clients.emplace_back([&] {
      for (int i = 0; i < 8; ++i) {
        HttpResponse response = Ext("slow?ms=40");
        if (response.status != 200) ++failures;
        if (response.body.find("DUPLICATE") != std::string::npos) ++duplicates;
        const std::size_t at = response.body.find("inflight=");
        if (at != std::string::npos) {
          const int n = std::atoi(response.body.c_str() + at + 9);
          int seen = max_in_flight.load();
          while (n > seen && !max_in_flight.compare_exchange_weak(seen, n)) {
          }
        }
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(duplicates.load(), 0);
  EXPECT_GE(max_in_flight.load(), 4);  // requests really ran side by side
}

TEST_F(KivwebTest, StopsOnSigtermAfterTheRequestsInFlight) {
  Serve();
  HttpResponse slow;
  std::thread client([&] { slow = Ext("slow?ms=700"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(server_.Stop(), 0);
  client.join();
  EXPECT_EQ(slow.status, 200);
  EXPECT_THAT(slow.body, HasSubstr("inflight=1"));
  // Loaded once, terminated once, after the last request had returned.
  EXPECT_EQ(ReadFile(record_), "load\nterminate served=1 inflight=0\n");
  const std::string log = server_.Log();
  EXPECT_THAT(log, HasSubstr("stopping on SIGTERM"));
  EXPECT_THAT(log, HasSubstr("extension Echo.so unloaded"));
  EXPECT_THAT(log, HasSubstr("stopped"));
}

TEST_F(KivwebTest, StopsOnSigint) {
  Serve();
  EXPECT_EQ(Ext("vars").status, 200);
  kill(server_.pid(), SIGINT);
  EXPECT_EQ(server_.Wait(30000), 0);
  EXPECT_EQ(ReadFile(record_), "load\nterminate served=1 inflight=0\n");
}

TEST_F(KivwebTest, TakesTheConfigurationFileWithCommandLineOverrides) {
  fs::create_directories(dir_.path() + "/other");
  WriteFile(dir_.path() + "/other/only-here.txt", "other root");
  WriteFile(config_, "# test configuration\n\n  listen = 127.0.0.1:0  \nroot = " + dir_.path() +
                         "/other\nscripts = " + scripts_ + "\nthreads = 4\naccount = " +
                         (RunAsAccount().empty() ? "kiv_user" : RunAsAccount()) + "\n");
  MakeReadable(dir_.path(), true);
  ASSERT_EQ(server_.Start({"--config", config_}, dir_.path() + "/kivweb.log",
                          {"KIVWEB_TEST_RECORD=" + record_}),
            "");
  EXPECT_EQ(Get(port(), "/only-here.txt").body, "other root");
  EXPECT_EQ(Ext("vars").status, 200);
  EXPECT_EQ(server_.Stop(), 0);

  // --root wins over the file's root.
  ASSERT_EQ(server_.Start({"--config", config_, "--root", root_}, dir_.path() + "/kivweb.log"), "");
  EXPECT_EQ(Get(port(), "/only-here.txt").status, 404);
  EXPECT_EQ(Get(port(), "/kiv/default.htm").status, 200);
}

TEST_F(KivwebTest, RejectsBadConfigurationsWithAClearMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string file;
    std::string message;
  } cases[] = {
      {{"--config", config_},
       "listen = 127.0.0.1:0\n\ncolour = blue\n",
       config_ + ":3: unknown key 'colour'"},
      {{"--config", config_}, "threads = 0\n", "threads must be a number from 1 to 1024"},
      {{"--config", config_}, "listen = localhost\n", "not of the form ADDR:PORT"},
      {{"--config", config_}, "root = relative/dir\n", "root must be an absolute folder"},
      {{"--config", config_}, "root\n", config_ + ":1: expected \"key = value\""},
      {{"--config", dir_.path() + "/missing.conf"}, "", "cannot read configuration file"},
      {{"--config", config_, "--listen", "127.0.0.1:99999"}, "", "--listen: listen port"},
      {{"--config", config_, "--root", dir_.path() + "/no-such-root"}, "", "is not a folder"},
      {{"--config", config_, "--frobnicate"}, "", "unknown argument '--frobnicate'"},
      {{"--config"}, "", "--config needs a value"},
  };
  for (const Case& c : cases) {
    WriteFile(config_, c.file);
    KivwebProcess process;
    std::vector<std::string> args = c.args;
    const std::string error = process.Start(args, dir_.path() + "/bad.log");
    EXPECT_THAT(error, HasSubstr("kivweb exited")) << c.message;
    EXPECT_THAT(error, HasSubstr(c.message));
  }
}

TEST_F(KivwebTest, PrintsUsageForHelp) {
  std::string output;
  const std::string command = std::string(KIVWEB_PATH) + " --help";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_THAT(output, HasSubstr("Usage: kivweb [--config FILE]"));
  EXPECT_THAT(output, HasSubstr("--listen ADDR:PORT"));
}

TEST_F(KivwebTest, AsRootNeverRunsWithoutItsAccount) {
  if (geteuid() != 0) GTEST_SKIP() << "only a root start drops to an account";
  for (const char* account : {"no_such_account_kiv", "root"}) {
    WriteFile(config_, std::string("account = ") + account + "\n");
    KivwebProcess process;
    const std::string error = process.Start(
        {"--config", config_, "--root", root_, "--scripts", scripts_}, dir_.path() + "/root.log");
    EXPECT_THAT(error, HasSubstr("kivweb exited (status 1)")) << account;
    EXPECT_THAT(error, HasSubstr(std::string("account '") + account + "'"));
  }
  // With its account, the requests run as that account.
  WriteFile(config_, "account = " + RunAsAccount() + "\n");
  Serve();
  HttpResponse response = Ext("vars");
  ASSERT_EQ(response.status, 200);
  std::ifstream status("/proc/" + std::to_string(server_.pid()) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 4, "Uid:") == 0) {
      EXPECT_THAT(line, Not(HasSubstr("\t0\t"))) << line;
    }
  }
}

// A TCP port of 127.0.0.1 below 1024 that is free now (0 when none is).
int FreeLowPort() {
  for (int port = 1000; port > 900; --port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (bound) return port;
  }
  return 0;
}

// Every thread of kivweb: CAP_NET_RAW (bit 13) permitted and effective,
// nothing else, nothing inheritable or ambient, and no root id.
void ExpectOnlyTheRawSocketCapability(pid_t pid) {
  int threads = 0;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      for (const char* field : {"CapPrm:", "CapEff:"}) {
        if (line.compare(0, std::strlen(field), field) == 0) {
          EXPECT_THAT(line, HasSubstr("0000000000002000")) << task.path() << " " << line;
        }
      }
      for (const char* field : {"CapInh:", "CapAmb:"}) {
        if (line.compare(0, std::strlen(field), field) == 0) {
          EXPECT_THAT(line, HasSubstr("0000000000000000")) << task.path() << " " << line;
        }
      }
      if (line.compare(0, 4, "Uid:") == 0 || line.compare(0, 4, "Gid:") == 0) {
        EXPECT_THAT(line, Not(HasSubstr("\t0"))) << line;
      }
    }
    ++threads;
  }
  EXPECT_GT(threads, 2);
}

TEST_F(KivwebTest, AsRootKeepsOnlyTheCapabilityThePingNeeds) {
  if (geteuid() != 0) GTEST_SKIP() << "only a root start drops to an account";
  Serve();
  ASSERT_EQ(Ext("vars").status, 200);  // the request threads have started
  ExpectOnlyTheRawSocketCapability(server_.pid());
  EXPECT_EQ(server_.Stop(), 0);
  // A port below 1024 is bound with a capability given up once bound.
  const int low = FreeLowPort();
  if (low == 0) GTEST_SKIP() << "no free port from 901 to 1000";
  Serve({"--listen", "127.0.0.1:" + std::to_string(low)});
  EXPECT_EQ(Get(low, "/scripts/Echo.so?vars").status, 200);
  ExpectOnlyTheRawSocketCapability(server_.pid());
}

}  // namespace
}  // namespace tellwen::testing
