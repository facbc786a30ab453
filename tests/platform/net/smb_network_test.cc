// SmbNetwork against a real smbd on 127.0.0.1 (started by the test).
#include "platform/net/smb_network.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "tests/integration/silent_listener.h"
#include "tests/integration/smbd_server.h"
#include "tests/support/temp_dir.h"

namespace tellwen::net {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

constexpr uint64_t kBigSize = 5ull * 1024 * 1024 * 1024 + 1000;
const char kOddFolder[] = "sp ace %#;@ \xC3\xBC";

void WriteFile(const std::string& path, size_t size) {
  std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

class SmbNetworkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The client configuration that keeps name look-ups to the hosts file
    // (a run may name another one in TELLWEN_SMB_CONF).
    setenv("TELLWEN_SMB_CONF", testing::SmbdServer::ClientConfig().c_str(), 0);
    temp_ = new testing::TempDir();
    const std::string root = temp_->path();
    std::filesystem::create_directories(root + "/files/" + kOddFolder);
    std::filesystem::create_directories(root + "/files/sub");
    std::filesystem::create_symlink("..", root + "/files/sub/back");
    std::filesystem::create_directories(root + "/denied");
    WriteFile(root + "/files/a.txt", 1023);
    WriteFile(root + "/files/" + kOddFolder + "/inner.txt", 1);
    WriteFile(root + "/denied/secret.txt", 1);
    int fd = ::open((root + "/files/big.iso").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kBigSize)), 0);  // sparse
    ::close(fd);
    server_ = new testing::SmbdServer();
    std::string error;
    ASSERT_TRUE(server_->Start(root,
                               "[files]\n  path = " + root +
                                   "/files\n  guest ok = yes\n"
                                   "[denied]\n  path = " +
                                   root +
                                   "/denied\n  guest ok = no\n"
                                   "  valid users = tellwen-nobody\n"
                                   "[h$]\n  path = " +
                                   root + "/files\n  guest ok = yes\n",
                               &error))
        << error;
  }
  static void TearDownTestSuite() {
    delete server_;
    delete temp_;
  }

  SmbOptions Options() const {
    SmbOptions options;
    options.port = server_->port();
    options.timeout_ms = 5000;
    return options;
  }

  static testing::TempDir* temp_;
  static testing::SmbdServer* server_;
};

testing::TempDir* SmbNetworkTest::temp_ = nullptr;
testing::SmbdServer* SmbNetworkTest::server_ = nullptr;

TEST_F(SmbNetworkTest, ShareListHoldsEveryShareInServerOrder) {
  SmbNetwork network(Options());
  std::vector<std::string> shares;
  ASSERT_EQ(network.ShareList("\\\\127.0.0.1", &shares), NetStatus::kOk);
  EXPECT_THAT(shares, ElementsAre("files", "denied", "h$", "IPC$"));

  NetResource computer;
  computer.remote_name = "\\\\127.0.0.1";
  NetStatus status;
  auto enumeration = network.OpenEnum(&computer, &status);
  ASSERT_NE(enumeration, nullptr) << NetStatusText(status);
  std::vector<NetResource> batch;
  ASSERT_EQ(enumeration->Next(16384, &batch), NetStatus::kOk);
  ASSERT_EQ(batch.size(), 4u);
  EXPECT_EQ(batch[0].remote_name, "\\\\127.0.0.1\\files");
  EXPECT_EQ(batch[0].usage, kUsageConnectable);
  EXPECT_EQ(batch[0].type, kTypeDisk);
  EXPECT_EQ(enumeration->Next(16384, &batch), NetStatus::kNoMoreItems);
}

TEST_F(SmbNetworkTest, ListingGivesAttributesAnd64BitSizes) {
  SmbNetwork network(Options());
  NetStatus status;
  auto listing = network.FindFirst("\\\\127.0.0.1\\files", &status);
  ASSERT_NE(listing, nullptr) << NetStatusText(status);
  std::map<std::string, FileAttributes> seen;
  FindData entry;
  while (listing->Next(&entry) == NetStatus::kOk) {
    FileAttributes attributes;
    ASSERT_EQ(network.GetFileAttributes("\\\\127.0.0.1\\files\\" + entry.name, &attributes),
              NetStatus::kOk);
    EXPECT_EQ(attributes.attributes, entry.attributes.attributes) << entry.name;
    seen[entry.name] = attributes;
  }
  listing.reset();
  ASSERT_EQ(seen.count("big.iso"), 1u);
  EXPECT_EQ(seen["big.iso"].size, kBigSize);
  EXPECT_EQ(seen["a.txt"].size, 1023u);
  EXPECT_NE(seen["sub"].attributes & kAttributeDirectory, 0u);
  EXPECT_EQ(seen["a.txt"].attributes & kAttributeDirectory, 0u);
  // Asked without an open listing, the server answers.
  FileAttributes direct;
  ASSERT_EQ(network.GetFileAttributes("\\\\127.0.0.1\\files\\big.iso", &direct), NetStatus::kOk);
  EXPECT_EQ(direct.size, kBigSize);
  ASSERT_EQ(network.GetFileAttributes("\\\\127.0.0.1\\files\\sub", &direct), NetStatus::kOk);
  EXPECT_NE(direct.attributes & kAttributeDirectory, 0u);
}

TEST_F(SmbNetworkTest, FileIdsTellAFolderReachedThroughALinkFromAnother) {
  SmbNetwork network(Options());
  auto ids_of = [&](const std::string& folder) {
    std::map<std::string, uint64_t> ids;
    NetStatus status;
    auto listing = network.FindFirst(folder, &status);
    EXPECT_NE(listing, nullptr) << NetStatusText(status);
    FindData entry;
    while (listing && listing->Next(&entry) == NetStatus::kOk) {
      ids[entry.name] = entry.attributes.file_id;
    }
    return ids;
  };
  std::map<std::string, uint64_t> root = ids_of("\\\\127.0.0.1\\files");
  std::map<std::string, uint64_t> sub = ids_of("\\\\127.0.0.1\\files\\sub");
  ASSERT_NE(root["."], 0u);
  EXPECT_EQ(sub["back"], root["."]);  // sub/back leads to the share root
  EXPECT_EQ(sub["."], root["sub"]);
  EXPECT_NE(root["sub"], root["."]);
  FileAttributes attributes;
  ASSERT_EQ(network.GetFileAttributes("\\\\127.0.0.1\\files\\sub\\back", &attributes),
            NetStatus::kOk);
  EXPECT_EQ(attributes.file_id, root["."]);
}

TEST_F(SmbNetworkTest, ComputerNamedByItsHostNameIsFoundThroughTheHostsFile) {
  SmbNetwork network(Options());
  std::vector<std::string> shares;
  ASSERT_EQ(network.ShareList("\\\\localhost", &shares), NetStatus::kOk);
  EXPECT_THAT(shares, ElementsAre("files", "denied", "h$", "IPC$"));
}

TEST_F(SmbNetworkTest, NamesWithUrlCharactersAndNonAsciiLettersReachTheServer) {
  SmbNetwork network(Options());
  NetStatus status;
  auto listing = network.FindFirst(std::string("\\\\127.0.0.1\\files\\") + kOddFolder, &status);
  ASSERT_NE(listing, nullptr) << NetStatusText(status);
  std::vector<std::string> names;
  FindData entry;
  while (listing->Next(&entry) == NetStatus::kOk) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  EXPECT_THAT(names, ElementsAre("inner.txt"));
}

TEST_F(SmbNetworkTest, FailuresComeBackAsStatuses) {
  SmbNetwork network(Options());
  NetStatus status;
  EXPECT_EQ(network.FindFirst("\\\\127.0.0.1\\denied", &status), nullptr);
  EXPECT_EQ(status, NetStatus::kAccessDenied);
  EXPECT_EQ(network.FindFirst("\\\\127.0.0.1\\files\\no such", &status), nullptr);
  EXPECT_EQ(status, NetStatus::kNotFound);
  FileAttributes attributes;
  EXPECT_EQ(network.GetFileAttributes("\\\\127.0.0.1\\files\\no such", &attributes),
            NetStatus::kNotFound);
  EXPECT_EQ(attributes.attributes, kInvalidFileAttributes);
  // Nothing listens on 127.0.0.3 at the server's port.
  std::vector<std::string> shares;
  EXPECT_EQ(network.ShareList("\\\\127.0.0.3", &shares), NetStatus::kUnreachable);
  NetResource computer;
  computer.remote_name = "\\\\127.0.0.3";
  EXPECT_EQ(network.OpenEnum(&computer, &status), nullptr);
  EXPECT_EQ(status, NetStatus::kUnreachable);
}

TEST_F(SmbNetworkTest, GuestConnectionsComeAndGoPerThread) {
  SmbNetwork network(Options());
  NetResource computer;
  computer.remote_name = "\\\\127.0.0.1";
  std::vector<std::thread> threads;
  std::vector<int> listed(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        network.AddConnection(computer, GuestAccount());
        NetStatus status;
        auto listing = network.FindFirst("\\\\127.0.0.1\\h$\\sub", &status);
        if (listing) ++listed[t];
        listing.reset();
        network.CancelConnection(computer.remote_name, true);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_THAT(listed, ::testing::Each(5));
}

TEST_F(SmbNetworkTest, AServerThatNeverAnswersHoldsOnlyItsOwnCallersAndOnlyUntilTheTimeout) {
  // 127.0.0.2 accepts at the server's port and never answers.
  testing::SilentListener hung;
  std::string error;
  ASSERT_TRUE(hung.Start("127.0.0.2", server_->port(), &error)) << error;
  SmbOptions options = Options();
  options.timeout_ms = 2000;
  SmbNetwork network(options);
  // Calls run side by side once one call of the process has succeeded.
  NetStatus warm_status = NetStatus::kError;
  ASSERT_NE(network.OpenFile("\\\\127.0.0.1\\files\\a.txt", &warm_status), nullptr);
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto seconds = [&start] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  std::vector<std::thread> waiting;
  std::vector<double> ended(5, 0);
  std::vector<NetStatus> statuses(5, NetStatus::kOk);
  for (int i = 0; i < 5; ++i) {
    waiting.emplace_back([&, i] {
      NetStatus status = NetStatus::kOk;
      auto reader = network.OpenFile("\\\\127.0.0.2\\files\\a.txt", &status);
      statuses[i] = reader ? NetStatus::kOk : status;
      ended[i] = seconds();
    });
  }
  // Meanwhile the healthy server is read at once.
  while (hung.accepted() < 5 && seconds() < 1.5) std::this_thread::sleep_for(10ms);
  NetStatus status = NetStatus::kError;
  const double healthy_start = seconds();
  auto reader = network.OpenFile("\\\\127.0.0.1\\files\\a.txt", &status);
  ASSERT_NE(reader, nullptr) << NetStatusText(status);
  std::vector<char> bytes(4096);
  size_t got = 0;
  EXPECT_EQ(reader->Read(bytes.data(), bytes.size(), &got), NetStatus::kOk);
  EXPECT_EQ(got, 1023u);
  const double healthy_took = seconds() - healthy_start;
  reader.reset();
  for (std::thread& thread : waiting) thread.join();
  EXPECT_LT(healthy_took, 1.0) << "the healthy server waited behind the hung one";
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(statuses[i], NetStatus::kOk) << i;
    EXPECT_LT(ended[i], 2.0 + 2.5) << "open " << i << " was not bounded by the timeout";
  }
}

}  // namespace
}  // namespace tellwen::net
