#include "indexer/core/index_format.h"

#include <gtest/gtest.h>

#include "indexer/core/entry_store.h"

namespace tellwen::indexer {
namespace {

TEST(IndexLine, SplitsPathIntoSixFields) {
  EXPECT_EQ(IndexLine("\\\\PC1\\music\\rock\\old\\a.mp3", 4), "//PC1\tmusic\trock\told\ta.mp3\t4");
  EXPECT_EQ(IndexLine("\\\\PC1\\music\\b.txt", 0), "//PC1\tmusic\t\t\tb.txt\t0");
  EXPECT_EQ(IndexLine("\\\\PC1\\music\\rock\\*", 0), "//PC1\tmusic\t\trock\t*\t0");
  EXPECT_EQ(IndexLine("\\\\PC1\\music\\*", 0), "//PC1\tmusic\t\t\t*\t0");
  EXPECT_EQ(IndexLine("\\\\192.168.1.7\\s\\a\\b\\c\\d\\f", 7), "//192.168.1.7\ts\ta/b/c\td\tf\t7");
}

TEST(IndexLine, KeepsBlanksQuotesAndNonAsciiLetters) {
  EXPECT_EQ(IndexLine("\\\\PC1\\my share\\\"quoted\" 'dir'\\\xC3\xBCn\xC3\xAF.txt", 1),
            "//PC1\tmy share\t\t\"quoted\" 'dir'\t\xC3\xBCn\xC3\xAF.txt\t1");
}

TEST(IndexLine, WritesTabCrLfInsideNamesAsQuestionMarks) {
  // Six fields and one line, whatever the names hold.
  EXPECT_EQ(IndexLine("\\\\PC1\\s\\a\tb\\c\r\nd.txt", 2), "//PC1\ts\t\ta?b\tc??d.txt\t2");
  EXPECT_EQ(IndexLine("\\\\PC1\\s\t1\\f", 0), "//PC1\ts?1\t\t\tf\t0");
}

TEST(CleanText, ReplacesInvalidUtf8ButKeepsValidSequences) {
  EXPECT_EQ(CleanText("a\xFF"
                      "b"),
            "a?b");
  EXPECT_EQ(CleanText("\xC3"), "?");            // cut short
  EXPECT_EQ(CleanText("\xC0\xAF"), "??");       // overlong
  EXPECT_EQ(CleanText("\xED\xA0\x80"), "???");  // surrogate
  EXPECT_EQ(CleanText("\xE2\x82\xAC \xF0\x9F\x98\x80"), "\xE2\x82\xAC \xF0\x9F\x98\x80");
}

TEST(OutputLine, AllOptionsOffIsTheFullPath) {
  OutputLayout layout;
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\rock\\old\\a.mp3", 4, layout),
            "\\\\PC1\\music\\rock\\old\\a.mp3");
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\b.txt", 0, layout), "\\\\PC1\\music\\b.txt");
}

TEST(OutputLine, SplitsAndSize) {
  OutputLayout layout;
  layout.split_share_and_directory = true;
  layout.split_directory_and_file = true;
  layout.dump_size = true;
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\rock\\old\\a.mp3", 4, layout),
            "\\\\PC1\\music\\\trock\\old\\\ta.mp3\t4");
  // In the share root the folder part is empty.
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\b.txt", 0, layout), "\\\\PC1\\music\\\t\tb.txt\t0");
  layout.split_directory_and_file = false;
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\rock\\*", 0, layout), "\\\\PC1\\music\\\trock\\*\t0");
}

TEST(OutputLine, UnixStyleTurnsEveryBackslash) {
  OutputLayout layout;
  layout.unix_style = true;
  layout.split_share_and_directory = true;
  EXPECT_EQ(OutputLine("\\\\PC1\\music\\rock\\a.mp3", 4, layout), "//PC1/music/\trock/a.mp3");
}

TEST(Kilobytes, RoundsDownAndCapsHugeFiles) {
  EXPECT_EQ(KilobytesOf(1023), 0u);
  EXPECT_EQ(KilobytesOf(1024), 1u);
  EXPECT_EQ(KilobytesOf(5000), 4u);
  EXPECT_EQ(KilobytesOf(0xFFFFFFFFull), 4194303u);
  // Past 4 GiB the true size: 5 GiB + 1000 bytes is 5242880 KiB.
  EXPECT_EQ(KilobytesOf(5ull * 1024 * 1024 * 1024 + 1000), 5242880u);
  // 2 TiB and more, and every high word of 1024 or more, are capped.
  EXPECT_EQ(KilobytesOf(2ull << 40), 2147483647u);
  EXPECT_EQ(KilobytesOf((2ull << 40) - 1024), 2147483647u);
  EXPECT_EQ(KilobytesOf((2ull << 40) - 2048), 2147483646u);
  EXPECT_EQ(KilobytesOf(1024ull << 32), 2147483647u);
  EXPECT_EQ(KilobytesOf(~0ull), 2147483647u);
}

}  // namespace
}  // namespace tellwen::indexer
