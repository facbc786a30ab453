#include "platform/isapi/chunked_body.h"

#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

TEST(ChunkedBody, FindsTheEndAfterTheLastChunkAndTrailers) {
  const std::string head = "HEAD";
  const std::string body = "4\r\nabcd\r\n3;x=y\r\nefg\r\n0\r\nTrailer: t\r\n\r\n";
  std::size_t end = 0, decoded = 0;
  EXPECT_EQ(FindChunkedEnd(head + body + "NEXT", head.size(), &end, &decoded),
            ChunkedEnd::kComplete);
  EXPECT_EQ(end, head.size() + body.size());
  EXPECT_EQ(decoded, 7u);
  EXPECT_EQ(FindChunkedEnd("A\nabcdefghij\n0\n\n", 0, &end), ChunkedEnd::kComplete);
  EXPECT_EQ(end, 16u);
  // Every cut short of the end waits for more.
  for (std::size_t cut = 0; cut < body.size(); ++cut) {
    EXPECT_EQ(FindChunkedEnd(body.substr(0, cut), 0, &end), ChunkedEnd::kIncomplete) << cut;
  }
}

// A body arriving a byte at a time, scanned on from where each scan
// stopped, ends where one scan of it ends, and decodes to its data.
TEST(ChunkedBody, ScansOnPieceByPieceAndDecodes) {
  const std::string body = "4;x=y\r\nabcd\r\n3 \r\nefg\nA\n0123456789\r\n0\r\nT: t\r\n\r\n";
  std::string arrived = "HEAD";
  ChunkedScan scan;
  scan.at = arrived.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    arrived += body[i];
    const ChunkedEnd found = ScanChunked(arrived, &scan, &end);
    ASSERT_EQ(found, i + 1 == body.size() ? ChunkedEnd::kComplete : ChunkedEnd::kIncomplete) << i;
  }
  EXPECT_EQ(end, arrived.size());
  EXPECT_EQ(scan.decoded, 17u);
  std::string data;
  AppendChunkedData(arrived, 4, end, &data);
  EXPECT_EQ(data, "abcdefg0123456789");
}

TEST(ChunkedBody, RefusesWhatIsNoChunkedBody) {
  std::size_t end = 0;
  for (const char* body : {"x\r\n", "\r\n", "4\r\nabcdXY0\r\n\r\n", "-1\r\n", "4x\r\nabcd\r\n",
                           "1000000000000000\r\n"}) {
    EXPECT_EQ(FindChunkedEnd(body, 0, &end), ChunkedEnd::kMalformed) << body;
  }
  EXPECT_EQ(FindChunkedEnd(std::string(2000, 'a'), 0, &end), ChunkedEnd::kMalformed);
}

}  // namespace
}  // namespace tellwen::isapi
