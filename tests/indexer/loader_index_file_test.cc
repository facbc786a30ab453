#include "indexer/core/loader_index_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/indexer/update_fake_sql.h"
#include "tests/support/fault_file_env.h"
#include "tests/support/temp_dir.h"

namespace tellwen::indexer {
namespace {

using tellwen::testing::TempDir;
using tellwen::testing::UpdateFakeSql;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class Loader : public ::testing::Test {
 protected:
  std::string WriteIndex(const std::string& content) {
    const std::string path = dir_.path() + "/kivtmp.txt";
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      text +=
          "//PC1\tshare\t\tdir\tfile" + std::to_string(i) + ".txt\t" + std::to_string(i) + "\r\n";
    }
    return text;
  }
  LoaderResult Load(const std::string& path) {
    LoaderHooks hooks;
    hooks.progress = [this](int64_t sent) { progress_.push_back(sent); };
    hooks.rejected = [this](int64_t number, const std::string& reason, std::string_view) {
      rejected_.push_back(std::to_string(number) + ": " + reason);
    };
    return LoadIndexFile(path, executor_, hooks);
  }

  TempDir dir_;
  UpdateFakeSql executor_;
  std::vector<int64_t> progress_;
  std::vector<std::string> rejected_;
};

TEST_F(Loader, SplitsBatchesAt3000Lines) {
  LoaderResult result = Load(WriteIndex(Lines(3000)));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.batches, 1);
  EXPECT_EQ(executor_.load_batches().size(), 1u);
  EXPECT_THAT(progress_, ::testing::ElementsAre(3000));

  UpdateFakeSql second;
  LoaderResult more = LoadIndexFile(WriteIndex(Lines(3001)), second, {});
  EXPECT_TRUE(more.ok);
  EXPECT_EQ(more.batches, 2);
  const std::vector<std::string> batches = second.load_batches();
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(UpdateFakeSql::CountInserts(batches[0]), 3000);
  EXPECT_EQ(UpdateFakeSql::CountInserts(batches[1]), 1);
  for (const std::string& batch : batches) {
    EXPECT_THAT(batch, StartsWith("begin tran\n"));
    EXPECT_THAT(batch, ::testing::EndsWith(")\ncommit tran\n"));
  }
  EXPECT_EQ(second.calls()[0].caller, SqlCaller::kIndexerBatch);
}

TEST_F(Loader, WritesOneInsertPerLineWithQuotesDoubled) {
  Load(WriteIndex("//PC1\tmusic\t\t\tO'Brien.txt\t7\r\n\r\n\n//PC1\tmusic\trock\told\ta.mp3\t4\n"));
  const std::vector<std::string> batches = executor_.load_batches();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0],
            "begin tran\n"
            "insert into zz values('//PC1','music','','','O''Brien.txt','7')\n"
            "insert into zz values('//PC1','music','rock','old','a.mp3','4')\n"
            "commit tran\n");
}

TEST_F(Loader, RefusesMalformedLinesAndReportsEach) {
  const std::string long_name(256, 'x');
  LoaderResult result =
      Load(WriteIndex("//PC1\ts\t\t\tgood.txt\t1\n"
                      "//PC1\ts\t\t\tshort\n"                // five fields
                      "//PC1\ts\t\t\ta\tb.txt\t1\n"          // a TAB inside a name: seven fields
                      "//PC1\ts\t\t\tbig.iso\t2147483648\n"  // size beyond int
                      "//PC1\ts\t\t\tneg\t-1\n"              // not a number of kilobytes
                      "//PC1\ts\t\t" +
                      long_name +
                      "\tf\t1\n"                  // a field over 255 bytes
                      "\ts\t\t\tnocomputer\t1\n"  // empty computer
                      "//PC1\ts\t\t\t\t1\n"       // empty file name
                      "//PC1\ts\t\t\tedge.iso\t2147483647\n"));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.lines_sent, 2);
  EXPECT_EQ(result.lines_rejected, 7);
  ASSERT_EQ(rejected_.size(), 7u);
  EXPECT_EQ(rejected_[0], "2: the line has 5 fields instead of six");
  EXPECT_EQ(rejected_[1], "3: the line has 7 fields instead of six");
  EXPECT_THAT(rejected_[4], HasSubstr("longer than 255 bytes"));
  EXPECT_EQ(UpdateFakeSql::CountInserts(executor_.load_batches()[0]), 2);
}

TEST_F(Loader, LineEndsInTheWrongOrderDoNotLoadComputersNamedWithACr) {
  // LF CR: every line after the first starts with the CR of the line before.
  LoaderResult result =
      Load(WriteIndex("//PC1\ts\t\t\ta.txt\t1\n\r//PC2\ts\t\t\tb.txt\t1\n\r"
                      "PC3\ts\t\t\tc.txt\t1\r\n//\ts\t\t\td.txt\t1\r\n"
                      "//PC4\ts\td\tf\tin\rside.txt\t1\r\n"));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.lines_sent, 2);
  EXPECT_THAT(rejected_, ElementsAre("2: the computer name does not start with \"//\"",
                                     "3: the computer name does not start with \"//\"",
                                     "4: the computer name does not start with \"//\""));
  const std::vector<std::string> batches = executor_.load_batches();
  ASSERT_EQ(batches.size(), 1u);
  // A CR inside a line is kept: only the one before the LF is a line end.
  EXPECT_THAT(batches[0], HasSubstr("values('//PC4','s','d','f','in\rside.txt','1')"));
  EXPECT_EQ(batches[0].find("\r//"), std::string::npos);
}

TEST_F(Loader, MissingFileIsAnErrorNotAnEmptyLoad) {
  LoaderResult result = Load(dir_.path() + "/missing.txt");
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.error_text, StartsWith("unexpected error: cannot open the index file"));
  EXPECT_TRUE(executor_.calls().empty());
}

TEST_F(Loader, IndexFileThatCannotBeReadWholeIsAnErrorNamingFileAndReason) {
  // A folder opens for reading but every read fails.
  const std::string folder = dir_.path() + "/folder";
  std::filesystem::create_directory(folder);
  LoaderResult result = Load(folder);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error_text, "unexpected error: cannot read the index file " + folder +
                                   ": Is a directory src:KIVIndexer loader");
  EXPECT_TRUE(executor_.calls().empty());

  // A read error half way: the batches before it reached zz, but the load
  // fails and the lines read since the last batch are not sent.
  UpdateFakeSql second;
  tellwen::testing::FaultFileEnv env;
  const std::string text = Lines(7000);
  env.read_budget = text.size() / 2;
  LoaderResult cut = LoadIndexFile(WriteIndex(text), second, {}, &env);
  EXPECT_FALSE(cut.ok);
  EXPECT_THAT(cut.error_text, HasSubstr("cannot read the index file"));
  EXPECT_THAT(cut.error_text, HasSubstr("Input/output error"));
  EXPECT_EQ(cut.lines_sent, 3000);
  EXPECT_EQ(second.load_batches().size(), 1u);
}

TEST_F(Loader, RolledBackBatchIsSentOnceMoreOnItsOwn) {
  // The second batch fails once; the server rolled it back, so zz still holds
  // the first batch only, and the resend must not duplicate anything.
  int failures = 0;
  executor_.set_rule([&](const std::string& batch, int) -> std::string {
    if (batch.find("file3000.txt") != std::string::npos && failures++ == 0) return "deadlock";
    return "";
  });
  LoaderResult result = Load(WriteIndex(Lines(6001)));
  EXPECT_TRUE(result.ok) << result.error_text;
  EXPECT_EQ(result.lines_sent, 6001);
  EXPECT_EQ(executor_.zz_rows(), 6001);
  EXPECT_EQ(executor_.load_batches().size(), 4u);  // 3000, 3000 (failed), 3000 again, 1
  EXPECT_THAT(progress_, ::testing::ElementsAre(3000, 6000, 6001));
}

TEST_F(Loader, BatchThatCommittedDespiteItsErrorIsNotSentAgain) {
  executor_.set_rule([&](const std::string& batch, int) -> std::string {
    if (batch.find("insert into zz") != std::string::npos) {
      executor_.set_zz_rows(3000);  // the rows arrived, then the call failed
      return "connection reset";
    }
    return "";
  });
  LoaderResult result = Load(WriteIndex(Lines(3000)));
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(executor_.load_batches().size(), 1u);
  EXPECT_EQ(executor_.zz_rows(), 3000);
}

TEST_F(Loader, BatchFailingTwiceEndsTheLoadWithItsError) {
  executor_.set_rule([](const std::string& batch, int) -> std::string {
    return batch.find("file3000.txt") != std::string::npos ? "disk full" : "";
  });
  LoaderResult result = Load(WriteIndex(Lines(9000)));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error_text, "unexpected error: disk full src:fake server");
  EXPECT_EQ(result.lines_sent, 3000);
  EXPECT_EQ(executor_.load_batches().size(), 3u);  // the third batch is never sent
}

TEST_F(Loader, PartlyAppliedBatchEndsTheLoadInsteadOfDuplicating) {
  executor_.set_rule([&](const std::string& batch, int) -> std::string {
    if (batch.find("insert into zz") != std::string::npos) {
      executor_.set_zz_rows(10);
      return "half way";
    }
    return "";
  });
  LoaderResult result = Load(WriteIndex(Lines(100)));
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.error_text, HasSubstr("left 10 of its 100 rows"));
  EXPECT_EQ(executor_.load_batches().size(), 1u);
}

TEST_F(Loader, StopRequestEndsReadingEarly) {
  LoaderHooks hooks;
  int polls = 0;
  hooks.stop_requested = [&] { return ++polls > 3500; };
  LoaderResult result = LoadIndexFile(WriteIndex(Lines(9000)), executor_, hooks);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(result.lines_sent, 3000);
  EXPECT_EQ(executor_.load_batches().size(), 1u);
}

}  // namespace
}  // namespace tellwen::indexer
