#include "platform/isapi/byte_range.h"

#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

using Kind = ByteRange::Kind;

void ExpectPart(const std::string& header, std::uint64_t size, std::uint64_t first,
                std::uint64_t length) {
  const ByteRange range = ParseByteRange(header, size);
  EXPECT_EQ(range.kind, Kind::kPart) << header;
  EXPECT_EQ(range.first, first) << header;
  EXPECT_EQ(range.length, length) << header;
}

TEST(ByteRange, TakesOneRangeAndEndsItAtTheEndOfTheFile) {
  ExpectPart("bytes=0-0", 10, 0, 1);
  ExpectPart("bytes=-1", 10, 9, 1);
  ExpectPart("bytes=-10", 10, 0, 10);
  ExpectPart("bytes=-11", 10, 0, 10);
  ExpectPart("bytes=9-", 10, 9, 1);
  ExpectPart("bytes=2-999999999999999999", 10, 2, 8);
  ExpectPart("Bytes = 1-2", 10, 1, 2);
  ExpectPart("bytes=0-", 1, 0, 1);
}

TEST(ByteRange, CannotSatisfyRangesPastTheEnd) {
  for (const char* header : {"bytes=10-", "bytes=10-10", "bytes=-0", "bytes=0-"}) {
    const std::uint64_t size = std::string(header) == "bytes=0-" ? 0 : 10;
    EXPECT_EQ(ParseByteRange(header, size).kind, Kind::kUnsatisfiable) << header;
  }
  EXPECT_EQ(ParseByteRange("bytes=-5", 0).kind, Kind::kUnsatisfiable);
}

TEST(ByteRange, AnswersAnythingElseWithTheWholeFile) {
  for (const char* header :
       {"", "bytes", "bytes=", "bytes=-", "bytes=5-2", "bytes=0-1,3-4", "bytes=1-x", "bytes=x-1",
        "bytes=+1-2", "bytes=--1", "items=0-1", "bytes=1 2-3", "bytes=9999999999999999999-"}) {
    EXPECT_EQ(ParseByteRange(header, 10).kind, Kind::kWhole) << header;
  }
}

}  // namespace
}  // namespace tellwen::isapi
