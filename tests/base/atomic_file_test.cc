#include "base/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/fault_file_env.h"
#include "tests/support/temp_dir.h"

namespace tellwen {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(WriteFileAtomically, ReplacesTheFileWithExactlyTheAskedMode) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/value";
  std::ofstream(path) << "old contents, longer than the new";
  const mode_t old_mask = ::umask(077);
  AtomicWriteOptions options;
  options.mode = 0640;
  options.sync = true;
  const int error = WriteFileAtomically(path, "new", options);
  ::umask(old_mask);
  ASSERT_EQ(error, 0);
  EXPECT_EQ(Read(path), "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("value"));
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/kivupdate.state";
  std::ofstream(path) << "old";
  testing::FaultFileEnv env;
  env.suffix = "kivupdate.state";
  env.write_budget = 2;
  AtomicWriteOptions options;
  options.env = &env;
  EXPECT_EQ(WriteFileAtomically(path, "a longer text", options), ENOSPC);
  env.write_budget = static_cast<size_t>(-1);
  env.rename_error = EXDEV;
  EXPECT_EQ(WriteFileAtomically(path, "new", options), EXDEV);
  EXPECT_EQ(Read(path), "old");
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("kivupdate.state"));
}

TEST(WriteFileAtomically, WithoutReplaceTheFirstWriterKeepsTheFile) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/value";
  AtomicWriteOptions options;
  options.replace = false;
  EXPECT_EQ(WriteFileAtomically(path, "first", options), 0);
  EXPECT_EQ(WriteFileAtomically(path, "second", options), EEXIST);
  EXPECT_EQ(Read(path), "first");
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("value"));
}

TEST(AtomicFile, ReadersSeeNothingUntilCommitAndAnAbandonedFileLeavesNoTrace) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/index.txt";
  AtomicFile file;
  ASSERT_EQ(file.Open(path), 0);
  // Hidden, beside the target, and ending in its name.
  EXPECT_EQ(fs::path(file.temporary_path()).parent_path(), fs::path(dir.path()));
  EXPECT_THAT(fs::path(file.temporary_path()).filename().string(),
              ::testing::AllOf(::testing::StartsWith(".tmp."), ::testing::EndsWith(".index.txt")));
  ASSERT_EQ(file.file().Append("line\r\n"), 0);
  EXPECT_FALSE(fs::exists(path));
  ASSERT_EQ(file.Commit(), 0);
  EXPECT_EQ(Read(path), "line\r\n");
  {
    AtomicFile abandoned;
    ASSERT_EQ(abandoned.Open(path), 0);
    ASSERT_EQ(abandoned.file().Append("cut"), 0);
  }
  EXPECT_EQ(Read(path), "line\r\n");
  EXPECT_THAT(Names(dir.path()), ::testing::ElementsAre("index.txt"));
}

}  // namespace
}  // namespace tellwen
