#include "platform/isapi/request_framing.h"

#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

TEST(RequestFraming, AcceptsOneSoundLength) {
  EXPECT_EQ(FramingFault("1.1", {}), "");
  EXPECT_EQ(FramingFault("1.1", {{"Host", "x"}, {"Content-Length", "12"}}), "");
  EXPECT_EQ(FramingFault("1.0", {{"content-length", " 0 "}}), "");
  EXPECT_EQ(FramingFault("1.1", {{"Content-Length", "7"}, {"Content-Length", "007"}}), "");
  EXPECT_EQ(FramingFault("1.1", {{"Transfer-Encoding", "Chunked"}}), "");
}

TEST(RequestFraming, RefusesLengthsThatCanBeReadTwoWays) {
  const Headers faulty[] = {
      {{"Content-Length", "8"}, {"Content-Length", "9"}},
      {{"Content-Length", "8x"}},
      {{"Content-Length", "-1"}},
      {{"Content-Length", ""}},
      {{"Content-Length", "8, 8"}},
      {{"Content-Length", "+8"}},
      {{"Content-Length", "0x10"}},
      {{"Content-Length", "9999999999999999999999"}},
      {{"Content-Length", "5"}, {"Transfer-Encoding", "chunked"}},
      {{"Transfer-Encoding", "chunked"}, {"Content-Length", "5"}},
      {{"Transfer-Encoding", "gzip, chunked"}},
      {{"Transfer-Encoding", "chunked, identity"}},
      {{"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "chunked"}},
      {{"Transfer-Encoding", "xchunked"}},
      {{"Transfer-Encoding", ""}},
  };
  for (const Headers& headers : faulty) {
    EXPECT_NE(FramingFault("1.1", headers), "") << headers[0].second;
  }
  EXPECT_NE(FramingFault("1.0", {{"Transfer-Encoding", "chunked"}}), "");
}

}  // namespace
}  // namespace tellwen::isapi
