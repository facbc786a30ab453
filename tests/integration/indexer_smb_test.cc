// KIVIndexer /index, run as a program against a real smbd on 127.0.0.1 that
// serves a tree built here; the index file and the output file are checked
// line by line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/kiv_registry.h"
#include "platform/desktop/display.h"
#include "tests/integration/smbd_server.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

using tellwen::testing::FileText;

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

constexpr uint64_t kBigSize = 5ull * 1024 * 1024 * 1024 + 1000;  // 5242880 KiB

std::string ReadAll(const std::string& path) { return FileText(path); }

// Lines of a CR LF file; a line without its CR LF fails the test.
std::vector<std::string> CrLfLines(const std::string& path) {
  std::string text = ReadAll(path);
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find("\r\n", begin);
    EXPECT_NE(end, std::string::npos) << "line without CR LF in " << path;
    if (end == std::string::npos) break;
    std::string line = text.substr(begin, end - begin);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    lines.push_back(line);
    begin = end + 2;
  }
  return lines;
}

void WriteFile(const std::string& path, size_t size) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

// Index lines of computer //127.0.0.1 at Levels 2000 ("5").
std::vector<std::string> DeepIndexLines() {
  const std::string c = "//127.0.0.1\t";
  return {
      c + "files\t\t\ta1023.bin\t0",
      c + "files\t\t\ta1024.bin\t1",
      c + "files\t\t\tbig.iso\t5242880",
      c + "files\t\t\tit's \"quoted\" name.txt\t2",
      c + "files\t\t\t\xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xC3\xB1\x61me.txt\t0",
      c + "files\t\t\ttab?here.txt\t0",
      c + "files\t\tempty\t*\t0",
      c + "files\t\te1\t*\t0",
      c + "files\te1\te2\t*\t0",
      c + "files\te1/e2\te3\t*\t0",
      c + "files\t\td1\t*\t0",
      c + "files\td1\td2\t*\t0",
      c + "files\td1/d2\td3\t*\t0",
      c + "files\td1/d2/d3\td4\t*\t0",
      c + "files\td1/d2/d3/d4\td5\t*\t0",
      c + "files\td1/d2/d3/d4/d5\td6\tdeep.txt\t2",
      c + "files\t\tsp ace dir\tinner.txt\t0",
      c + "onlyfolders\t\tx\tfile.txt\t1",
      c + "onlyfolders\t\ty\t*\t0",
      c + "onlyfolders\t\t\t*\t0",
      c + "hidden$\t\t\th.txt\t0",
  };
}

class IndexerSmbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.path();
    const std::string files = root_ + "/tree/files";
    WriteFile(files + "/a1023.bin", 1023);
    WriteFile(files + "/a1024.bin", 1024);
    WriteFile(files + "/it's \"quoted\" name.txt", 3000);
    WriteFile(files + "/\xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xC3\xB1\x61me.txt", 10);
    WriteFile(files + "/tab\there.txt", 10);
    WriteFile(files + "/sp ace dir/inner.txt", 1);
    WriteFile(files + "/d1/d2/d3/d4/d5/d6/deep.txt", 2048);
    std::filesystem::create_directories(files + "/empty");
    std::filesystem::create_directories(files + "/e1/e2/e3");
    int fd = ::open((files + "/big.iso").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kBigSize)), 0);  // sparse
    ::close(fd);
    WriteFile(root_ + "/tree/onlyfolders/x/file.txt", 1024);
    std::filesystem::create_directories(root_ + "/tree/onlyfolders/y");
    WriteFile(root_ + "/tree/hidden/h.txt", 10);
    WriteFile(root_ + "/tree/denied/secret.txt", 10);

    std::string error;
    ASSERT_TRUE(server_.Start(root_,
                              ExtraGlobals() + "[files]\n  path = " + files +
                                  "\n  guest ok = yes\n  mangled names = no\n"
                                  "[onlyfolders]\n  path = " +
                                  root_ +
                                  "/tree/onlyfolders\n"
                                  "  guest ok = yes\n"
                                  "[hidden$]\n  path = " +
                                  root_ +
                                  "/tree/hidden\n  guest ok = yes\n"
                                  "[denied]\n  path = " +
                                  root_ +
                                  "/tree/denied\n"
                                  "  guest ok = no\n  valid users = tellwen-nobody\n" +
                                  ExtraShares(),
                              &error))
        << error;

    std::filesystem::create_directories(root_ + "/run");
    std::filesystem::create_directories(root_ + "/tmp");
    // Headless runs unless a test asks for the window, on a desktop too.
    env_ = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM TELLWEN_REGISTRY=" +
           testing::SmbdServer::Quote(root_ + "/registry") +
           " TELLWEN_DATA=" + testing::SmbdServer::Quote(root_ + "/data") +
           " XDG_RUNTIME_DIR=" + testing::SmbdServer::Quote(root_ + "/run") +
           " TELLWEN_SMB_PORT=" + std::to_string(server_.port()) +
           " TELLWEN_SMB_CONF=" + testing::SmbdServer::Quote(testing::SmbdServer::ClientConfig()) +
           " ";
    registry_env_ = std::make_unique<testing::ScopedEnv>("TELLWEN_REGISTRY", root_ + "/registry");
    index_file_ = root_ + "/tmp/kivtmp.txt";
    report_ = root_ + "/tmp/kiv report.txt";
    Set("TemporaryFolder", root_ + "/tmp/");
    Set("OutputFile", report_);
    Set("MustEnumerateResourcesFromNetwork", "0");  // no browsing of this machine's LAN
    Set("NetworkSearchInterfaces", "0");            // and no probe on any interface
    Set("GenerateReportFile", "1");
    Set("AutomaticallyInsertIntoDatabase", "1");
    Set("NumberOfThreads", "15");
    Set("Levels", "5");
    // Computer 1 has nothing listening: it ends first and must not hold the
    // sorted dump back.
    Set("IndexerIncludeList", "0|\\\\127.0.0.3|\\\\127.0.0.1");
    credentials_ = root_ + "/scan.credentials";
    Set("ScanCredentialsFile", credentials_);
  }

  // Share sections a test class adds to the server's, and global settings
  // that replace the fixture's.
  virtual std::string ExtraShares() { return ""; }
  virtual std::string ExtraGlobals() { return ""; }

  void Set(const std::string& name, const std::string& value) {
    CKIVRegistry registry;
    registry.SetValue(name, value);
  }
  std::string Get(const std::string& name) {
    CKIVRegistry registry;
    return registry.GetValue(name);
  }

  // Runs KIVIndexer with the arguments; returns its exit status.
  int RunIndexer(const std::string& arguments, std::string* output) {
    return testing::RunCommand(env_ + KIVINDEXER_PATH + " " + arguments + " 2>&1 </dev/null",
                               output);
  }

  testing::TempDir temp_;
  std::string root_, env_, index_file_, report_, credentials_;
  testing::SmbdServer server_;
  std::unique_ptr<testing::ScopedEnv> registry_env_;
};

TEST_F(IndexerSmbTest, SortedRunWritesEveryEntryInServerOrderWithFullPathReport) {
  Set("SortedOutput", "1");
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(output, HasSubstr("computers 2 of 2 (-0)"));
  // The share the guest may not open is said, and listed at the report's end.
  EXPECT_THAT(output, HasSubstr("\\\\127.0.0.1\\denied: access denied (guest refused)\n"));
  EXPECT_THAT(output, HasSubstr("search done, scanning done (1 access denied), dump done"));

  std::vector<std::string> lines = CrLfLines(index_file_);
  EXPECT_THAT(lines, UnorderedElementsAreArray(DeepIndexLines()));
  // Shares come in the server's order, each walked whole before the next.
  auto first = [&](const std::string& share) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& line) {
                          return line.rfind("//127.0.0.1\t" + share + "\t", 0) == 0;
                        }) -
           lines.begin();
  };
  auto last = [&](const std::string& share) {
    return lines.rend() - std::find_if(lines.rbegin(), lines.rend(), [&](const std::string& l) {
             return l.rfind("//127.0.0.1\t" + share + "\t", 0) == 0;
           });
  };
  EXPECT_LT(last("files"), first("onlyfolders") + 1);
  EXPECT_LT(last("onlyfolders"), first("hidden$") + 1);

  const std::string c = "\\\\127.0.0.1\\";
  std::vector<std::string> report = CrLfLines(report_);
  ASSERT_EQ(report.size(), lines.size() + 1);
  EXPECT_EQ(report.back(), "\\\\127.0.0.1\\denied: access denied (guest refused)");
  for (const std::string& path :
       {c + "files\\a1023.bin", c + "files\\big.iso", c + "files\\tab?here.txt",
        c + "files\\d1\\d2\\d3\\d4\\d5\\d6\\deep.txt", c + "files\\e1\\e2\\e3\\*",
        c + "onlyfolders\\*", c + "hidden$\\h.txt", c + "files\\it's \"quoted\" name.txt"}) {
    EXPECT_NE(std::find(report.begin(), report.end(), path), report.end()) << path;
  }

  EXPECT_EQ(Get("NumberOfIndexedFiles"), std::to_string(lines.size()) + " files indexed");
  EXPECT_THAT(Get("DataOfTheIndexForDB"), HasSubstr("last index on "));
}

// The probes of "Search entire network" sent on loopback only (the browse
// list, which would ask the name service, stays off): they find nothing and
// the job scans the include list as before. Run where a packet leaving
// 127.0.0.0/8 fails the test.
TEST_F(IndexerSmbTest, DiscoveryProbesOnLoopbackFindNothingAndTheJobRunsOn) {
  Set("MustEnumerateResourcesFromNetwork", "1");
  Set("NetworkSearchBrowseList", "0");
  Set("NetworkSearchWsDiscovery", "1");
  Set("NetworkSearchMdns", "1");
  Set("NetworkSearchInterfaces", "0|lo");
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(output, HasSubstr("discovery: WS-Discovery: 0 computers found in "));
  EXPECT_THAT(output, HasSubstr("discovery: mDNS: 0 computers found in "));
  EXPECT_THAT(output, Not(HasSubstr("discovery: browse list")));
  EXPECT_THAT(output, HasSubstr("computers 2 of 2 (-0)"));
}

TEST_F(IndexerSmbTest, IndexRunWithItsWindowOnTheOffscreenPlatformWritesTheIndexFile) {
  if (!desktop::kWindowsBuiltIn) GTEST_SKIP() << "this build has no windows";
  Set("SortedOutput", "1");
  std::string output;
  ASSERT_EQ(testing::RunCommand(
                env_ + "QT_QPA_PLATFORM=offscreen " + KIVINDEXER_PATH + " /index 2>&1 </dev/null",
                &output),
            0)
      << output;
  // The window showed the progress: no headless progress line was printed.
  EXPECT_THAT(output, ::testing::Not(HasSubstr("computers 2 of 2")));
  std::vector<std::string> lines = CrLfLines(index_file_);
  EXPECT_THAT(lines, UnorderedElementsAreArray(DeepIndexLines()));
  EXPECT_EQ(Get("NumberOfIndexedFiles"), std::to_string(lines.size()) + " files indexed");
}

TEST_F(IndexerSmbTest, UnsortedRunWithTwoLevelsAndSplitReport) {
  Set("SortedOutput", "0");
  Set("Levels", "2");
  Set("UnixStyleForFileNames", "1");
  Set("SplitBetweenShareAndDirectory", "1");
  Set("SplitBetweenDirectoryAndFile", "1");
  Set("DumpSizeForFileNames", "1");
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;

  std::vector<std::string> expected;
  for (const std::string& line : DeepIndexLines()) {
    // Two levels: d1 and d2 are walked (and hold no file), nothing below.
    if (line.find("\td1/d2") != std::string::npos || line.find("\te1/e2\t") != std::string::npos) {
      continue;
    }
    expected.push_back(line);
  }
  EXPECT_THAT(CrLfLines(index_file_), UnorderedElementsAreArray(expected));

  std::vector<std::string> report = CrLfLines(report_);
  EXPECT_EQ(report.size(), expected.size() + 1);  // and the refused share's line
  for (const std::string& line : {std::string("//127.0.0.1/files/\t\tbig.iso\t5242880"),
                                  std::string("//127.0.0.1/files/\td1/d2/\t*\t0"),
                                  std::string("//127.0.0.1/onlyfolders/\tx/\tfile.txt\t1"),
                                  std::string("//127.0.0.1/onlyfolders/\t\t*\t0")}) {
    EXPECT_NE(std::find(report.begin(), report.end(), line), report.end()) << line;
  }
}

TEST_F(IndexerSmbTest, RunWithoutAnyOutputTakesTheSafeAnswer) {
  Set("GenerateReportFile", "0");
  Set("AutomaticallyInsertIntoDatabase", "0");
  std::string output;
  EXPECT_EQ(RunIndexer("/index", &output), 1);
  EXPECT_THAT(output, HasSubstr("continue without any output?"));
  EXPECT_THAT(output, HasSubstr("safe answer: no"));
  EXPECT_FALSE(std::filesystem::exists(index_file_));
  EXPECT_FALSE(std::filesystem::exists(report_));
}

TEST_F(IndexerSmbTest, SecondInstanceEndsAndSaysSoOnlyWithoutSwitch) {
  // This process plays the running instance.
  int fd = ::open((root_ + "/run/KIVIndexer.lock").c_str(), O_CREAT | O_RDONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  std::string output;
  EXPECT_EQ(RunIndexer("/index", &output), 1);
  EXPECT_EQ(output, "");
  EXPECT_FALSE(std::filesystem::exists(index_file_));
  EXPECT_EQ(RunIndexer("", &output), 1);
  EXPECT_THAT(output, HasSubstr("KIVIndexer already running!"));
  ::close(fd);
  EXPECT_EQ(RunIndexer("/index", &output), 0) << output;
}

// A server that refuses guests, as Windows and most NAS boxes do: the scan
// account of a credentials file reads it; without one, or with a wrong
// password, every refusal is said and the job still ends as designed.
class IndexerSmbAccountTest : public IndexerSmbTest {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "adding a user to smbd's database needs root";
    IndexerSmbTest::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    ASSERT_TRUE(server_.AddUser(user_, kPassword, &error)) << error;
    // The guest share of the fixture becomes the account's share.
  }
  // No guest and no anonymous session, as a Windows server with
  // password-protected sharing: not even the share list is open to guests.
  std::string ExtraGlobals() override {
    return "  map to guest = never\n  restrict anonymous = 2\n";
  }

  void WriteCredentials(const std::string& password, mode_t mode) {
    std::ofstream(credentials_) << "# test\nusername = " << user_ << "\npassword = " << password
                                << "\ndomain = TELLWEN\n";
    ASSERT_EQ(::chmod(credentials_.c_str(), mode), 0);
  }

  // Every file the run wrote, and what it printed, without the password.
  void ExpectPasswordNowhere(const std::string& output) {
    EXPECT_THAT(output, Not(HasSubstr(kPassword)));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
      if (!entry.is_regular_file() || entry.path() == credentials_) continue;
      // The server's own state, and the shared tree the test made.
      const std::string path = entry.path().string();
      if (path.find("/smbd/") != std::string::npos || path.find("/tree/") != std::string::npos) {
        continue;
      }
      EXPECT_THAT(ReadAll(entry.path()), Not(HasSubstr(kPassword))) << entry.path();
    }
  }

  static constexpr const char* kPassword = "Tw-scan-9f3Q";
  const std::string user_ = [] {
    std::string name;
    testing::RunCommand("id -un", &name);
    return name.substr(0, name.find('\n'));
  }();
};

TEST_F(IndexerSmbAccountTest, TheScanAccountIndexesEveryShareItMayRead) {
  Set("SortedOutput", "1");
  WriteCredentials(kPassword, 0600);
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(CrLfLines(index_file_), UnorderedElementsAreArray(DeepIndexLines()));
  // The share no account of ours may open is said, in the run and at the
  // end of the report; the unreachable computer is not.
  const std::string refused =
      "\\\\127.0.0.1\\denied: access denied (guest and scan account refused)";
  EXPECT_THAT(output, HasSubstr(refused + "\n"));
  EXPECT_THAT(output, HasSubstr("scanning done (1 access denied)"));
  EXPECT_THAT(output, Not(HasSubstr("127.0.0.3")));
  EXPECT_EQ(CrLfLines(report_).back(), refused);
  ExpectPasswordNowhere(output);
}

TEST_F(IndexerSmbAccountTest, WithoutTheAccountEveryRefusalIsSaid) {
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(output, HasSubstr("\\\\127.0.0.1: access denied (guest refused)\n"));
  EXPECT_THAT(output, HasSubstr("scanning done (1 access denied)"));
  EXPECT_THAT(CrLfLines(index_file_), ::testing::IsEmpty());

  WriteCredentials("wrong-password", 0600);
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(output, HasSubstr("\\\\127.0.0.1: access denied (guest and scan account refused)\n"));
  EXPECT_THAT(output, HasSubstr("scanning done (1 access denied)"));
  ExpectPasswordNowhere(output);
}

TEST_F(IndexerSmbAccountTest, ACredentialsFileOthersMayReadKeepsTheJobFromStarting) {
  WriteCredentials(kPassword, 0644);
  std::string output;
  EXPECT_EQ(RunIndexer("/index", &output), 1);
  EXPECT_THAT(output, HasSubstr(credentials_ + " is readable by other accounts; make it 0600"));
  EXPECT_FALSE(std::filesystem::exists(index_file_));
  ExpectPasswordNowhere(output);
}

// SMB3 only, encryption required (and so signing): guests cannot log in at
// all; the account can.
class IndexerSmb3Test : public IndexerSmbAccountTest {
 protected:
  std::string ExtraGlobals() override {
    return "  map to guest = never\n  server min protocol = SMB3\n  smb encrypt = required\n"
           "  server signing = mandatory\n";
  }
};

TEST_F(IndexerSmb3Test, AnEncryptionRequiredServerIsIndexedWithTheAccount) {
  WriteCredentials(kPassword, 0600);
  std::string output;
  ASSERT_EQ(RunIndexer("/index", &output), 0) << output;
  EXPECT_THAT(CrLfLines(index_file_), UnorderedElementsAreArray(DeepIndexLines()));
}

// A share whose folders link back up the tree (smbd follows symbolic links
// by default): the walk must not go round the loops down to Levels.
class IndexerSmbLoopTest : public IndexerSmbTest {
 protected:
  std::string ExtraShares() override {
    const std::string loops = root_ + "/tree/loops";
    WriteFile(loops + "/top.txt", 10);
    WriteFile(loops + "/a/in_a.txt", 10);
    std::filesystem::create_directories(loops + "/a/b");
    std::filesystem::create_symlink(".", loops + "/self");
    std::filesystem::create_symlink("..", loops + "/a/up");
    std::filesystem::create_symlink("../..", loops + "/a/b/upup");
    return "[loops]\n  path = " + loops + "\n  guest ok = yes\n";
  }
};

TEST_F(IndexerSmbLoopTest, SymbolicLinkLoopsAreWalkedOnce) {
  Set("IndexerIncludeList", "0|\\\\127.0.0.1");
  Set("Levels", "2000");
  Set("SortedOutput", "0");
  Set("NumberOfThreads", "1");
  std::string output;
  // Without the loop check this walk takes hours; the timeout ends it.
  ASSERT_EQ(testing::RunCommand("timeout 120 " + env_ + KIVINDEXER_PATH + " /index 2>&1 </dev/null",
                                &output),
            0)
      << output;
  std::vector<std::string> loop_lines;
  for (const std::string& line : CrLfLines(index_file_)) {
    if (line.rfind("//127.0.0.1\tloops\t", 0) == 0) loop_lines.push_back(line);
  }
  const std::string c = "//127.0.0.1\tloops\t";
  EXPECT_THAT(loop_lines, UnorderedElementsAreArray(
                              {c + "\t\ttop.txt\t0", c + "\ta\tin_a.txt\t0", c + "a\tb\t*\t0"}));
}

}  // namespace
}  // namespace tellwen
