#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tellwen::registry {
namespace {

using tellwen::testing::ScopedEnv;
using tellwen::testing::TempDir;

class Hive : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\KIV", true, &key_, &created_), 0);
  }
  TempDir dir_;
  ScopedEnv env_{"TELLWEN_REGISTRY", dir_.path()};
  std::string key_;
  bool created_ = false;
};

TEST_F(Hive, KeysAreFoldersUnderTheRoot) {
  EXPECT_TRUE(created_);
  EXPECT_EQ(key_, dir_.path() + "/HKEY_LOCAL_MACHINE/Software/KIV");
  std::string again;
  bool created = true;
  ASSERT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\KIV", true, &again, &created), 0);
  EXPECT_FALSE(created);
  EXPECT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\Other", false, &again, nullptr), ENOENT);
  EXPECT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\..\\x", true, &again, nullptr), EINVAL);
}

TEST_F(Hive, ValueFileHoldsExactlyTheBytes) {
  ASSERT_EQ(SetValue(key_, "Levels", "5"), 0);
  std::ifstream file(key_ + "/Levels", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(content, "5");
  std::string value;
  ASSERT_EQ(QueryValue(key_, "Levels", 100, &value), 0);
  EXPECT_EQ(value, "5");
  ASSERT_EQ(SetValue(key_, "Empty", ""), 0);
  ASSERT_EQ(QueryValue(key_, "Empty", 100, &value), 0);
  EXPECT_EQ(value, "");
}

TEST_F(Hive, MissingValueAndBadNamesAreErrors) {
  std::string value = "untouched";
  EXPECT_EQ(QueryValue(key_, "Nothing", 100, &value), ENOENT);
  EXPECT_EQ(value, "untouched");
  EXPECT_EQ(DeleteValue(key_, "Nothing"), ENOENT);
  EXPECT_EQ(SetValue(key_, "", "x"), EINVAL);
}

TEST_F(Hive, ReadsAreBoundedAndLeaveTheOutputAloneWhenTooLarge) {
  std::string big(10000, 'x');
  ASSERT_EQ(SetValue(key_, "Big", big), 0);
  std::string value = "untouched";
  EXPECT_EQ(QueryValue(key_, "Big", 9999, &value), EMSGSIZE);
  EXPECT_EQ(value, "untouched");
  ASSERT_EQ(QueryValue(key_, "Big", 10000, &value), 0);
  EXPECT_EQ(value, big);
}

TEST_F(Hive, NamesThatFilesCannotHoldRoundTrip) {
  const std::vector<std::string> names = {"a/b", "50%", ".hidden", "..", "with space", "ÄÖ"};
  for (const std::string& name : names) ASSERT_EQ(SetValue(key_, name, "v" + name), 0) << name;
  std::vector<std::string> listed;
  ASSERT_EQ(ListValues(key_, &listed), 0);
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(listed, sorted);
  for (const std::string& name : names) {
    std::string value;
    ASSERT_EQ(QueryValue(key_, name, 100, &value), 0) << name;
    EXPECT_EQ(value, "v" + name);
  }
  // Nothing escaped the key's folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(Hive, DeleteRemovesOnlyThatValue) {
  ASSERT_EQ(SetValue(key_, "A", "1"), 0);
  ASSERT_EQ(SetValue(key_, "B", "2"), 0);
  ASSERT_EQ(DeleteValue(key_, "A"), 0);
  std::vector<std::string> listed;
  ASSERT_EQ(ListValues(key_, &listed), 0);
  EXPECT_EQ(listed, std::vector<std::string>{"B"});
}

TEST_F(Hive, ValuesAreReadableByOtherAccounts) {
  ASSERT_EQ(SetValue(key_, "WebStatus", "yes"), 0);
  struct stat st;
  ASSERT_EQ(stat((key_ + "/WebStatus").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// Two processes hammer one value with different lengths while a third reads:
// every read must see one whole value, never a torn, mixed or empty one, and
// no temporary file may be left behind.
TEST_F(Hive, ConcurrentWritersNeverLeaveATornValue) {
  const std::string a(4000, 'a');
  const std::string b(7, 'b');
  ASSERT_EQ(SetValue(key_, "Shared", a), 0);
  std::vector<pid_t> writers;
  for (const std::string* text : {&a, &b}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < 2000; ++i) {
        if (SetValue(key_, "Shared", *text) != 0) _exit(1);
      }
      _exit(0);
    }
    writers.push_back(pid);
  }
  int bad_reads = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string value;
    if (QueryValue(key_, "Shared", 10000, &value) != 0 || (value != a && value != b)) ++bad_reads;
  }
  for (pid_t pid : writers) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(bad_reads, 0);
  std::vector<std::string> listed;
  ASSERT_EQ(ListValues(key_, &listed), 0);
  EXPECT_EQ(listed, std::vector<std::string>{"Shared"});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(key_),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(Hive, CreateValueNeverReplacesAStoredValue) {
  EXPECT_EQ(CreateValue(key_, "Levels", "5"), 0);
  std::string value;
  ASSERT_EQ(QueryValue(key_, "Levels", 100, &value), 0);
  EXPECT_EQ(value, "5");
  ASSERT_EQ(SetValue(key_, "Levels", "9"), 0);
  EXPECT_EQ(CreateValue(key_, "Levels", "5"), EEXIST);
  ASSERT_EQ(QueryValue(key_, "Levels", 100, &value), 0);
  EXPECT_EQ(value, "9");
  std::vector<std::string> names;
  ASSERT_EQ(ListValues(key_, &names), 0);
  EXPECT_EQ(names, std::vector<std::string>{"Levels"});
  // No temporary file is left behind either way.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(key_)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST_F(Hive, ListingNamesWhatItSkipsAndSweepsStaleTemporaryFiles) {
  ASSERT_EQ(SetValue(key_, "A", "1"), 0);
  std::filesystem::create_directory(key_ + "/Folder");
  // A killed writer's file from two minutes ago, and one being written now.
  const std::string stale = key_ + "/.tmp.A.abcdef", fresh = key_ + "/.tmp.A.ghijkl";
  std::ofstream(stale) << "x";
  std::ofstream(fresh) << "y";
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
  std::filesystem::last_write_time(stale, old);
  std::vector<std::string> names, skipped;
  ASSERT_EQ(ListValues(key_, &names, &skipped), 0);
  EXPECT_EQ(names, std::vector<std::string>{"A"});
  EXPECT_EQ(skipped, std::vector<std::string>{"Folder"});
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(fresh));
}

// Reads are cached; every change to a value's file made outside the registry
// calls is seen by the next read all the same.
TEST_F(Hive, ReadsSeeEveryChangeToTheFilesAtOnce) {
  namespace fs = std::filesystem;
  auto read = [this](const std::string& name) {
    std::string value;
    int rc = QueryValue(key_, name, 100, &value);
    return rc == 0 ? value : "error " + std::to_string(rc);
  };
  ASSERT_EQ(SetValue(key_, "Levels", "5"), 0);
  EXPECT_EQ(read("Levels"), "5");
  EXPECT_EQ(read("Levels"), "5");
  std::ofstream(key_ + "/Levels", std::ios::trunc) << "6";
  EXPECT_EQ(read("Levels"), "6");
  std::ofstream(key_ + "/Other") << "7";
  fs::rename(key_ + "/Other", key_ + "/Levels");
  EXPECT_EQ(read("Levels"), "7");
  fs::remove(key_ + "/Levels");
  EXPECT_EQ(read("Levels"), "error " + std::to_string(ENOENT));
  std::ofstream(key_ + "/Levels") << "8";
  EXPECT_EQ(read("Levels"), "8");
  // A value too large for one caller is still whole for another.
  ASSERT_EQ(SetValue(key_, "Big", std::string(200, 'x')), 0);
  EXPECT_EQ(read("Big"), "error " + std::to_string(EMSGSIZE));
  std::string big;
  ASSERT_EQ(QueryValue(key_, "Big", 1000, &big), 0);
  EXPECT_EQ(big.size(), 200u);

  // The key folder removed and made again: opening it knows at once.
  std::string opened;
  ASSERT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\KIV", false, &opened, nullptr), 0);
  fs::remove_all(key_);
  EXPECT_EQ(read("Levels"), "error " + std::to_string(ENOENT));
  EXPECT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\KIV", false, &opened, nullptr), ENOENT);
  bool created = false;
  ASSERT_EQ(OpenKey("HKEY_LOCAL_MACHINE\\Software\\KIV", true, &key_, &created), 0);
  EXPECT_TRUE(created);
  ASSERT_EQ(SetValue(key_, "Levels", "9"), 0);
  EXPECT_EQ(read("Levels"), "9");
  // A whole hive moved in under the same path: seen once the cached answer
  // is a second old.
  const std::string hive = dir_.path() + "/HKEY_LOCAL_MACHINE";
  fs::create_directories(dir_.path() + "/restored/Software/KIV");
  std::ofstream(dir_.path() + "/restored/Software/KIV/Levels") << "3";
  fs::rename(hive, dir_.path() + "/old");
  fs::rename(dir_.path() + "/restored", hive);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(read("Levels"), "3");
}

// A read that starts after a write has returned sees that write, whatever
// other threads read and write meanwhile.
TEST_F(Hive, ConcurrentReadsNeverSeeAValueOlderThanTheLastWriteReturned) {
  std::atomic<int> written{0};
  std::atomic<int> stale_reads{0};
  ASSERT_EQ(SetValue(key_, "Counter", "0"), 0);
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r) {
    readers.emplace_back([&] {
      while (written.load() < 2000) {
        const int at_least = written.load();
        std::string value;
        if (QueryValue(key_, "Counter", 100, &value) != 0 || std::stoi(value) < at_least) {
          ++stale_reads;
        }
      }
    });
  }
  for (int i = 1; i <= 2000; ++i) {
    EXPECT_EQ(SetValue(key_, "Counter", std::to_string(i)), 0);
    written.store(i);
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(stale_reads.load(), 0);
}

}  // namespace
}  // namespace tellwen::registry
