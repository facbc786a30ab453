#include "platform/isapi/request_framing.h"

#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

TEST(RequestHead, ReadsTargetsAndFieldsOfSoundHeads) {
  RequestHead head;
  std::string why;
  ASSERT_EQ(ParseRequestHead("GET /a?b HTTP/1.0\r\nX-A:  1 \r\n\r\n", &head, &why), 0) << why;
  EXPECT_EQ(head.method + " " + head.target + " " + head.version, "GET /a?b 1.0");
  EXPECT_EQ(head.headers, (Headers{{"X-A", "1"}}));
  // An absolute target: its path (or "/") and its host, Host line or not.
  ASSERT_EQ(ParseRequestHead("GET http://h:81?q HTTP/1.0\r\n\r\n", &head, &why), 0) << why;
  EXPECT_EQ(head.target, "/?q");
  EXPECT_EQ(head.headers, (Headers{{"Host", "h:81"}}));
  ASSERT_EQ(ParseRequestHead("GET https://h/x HTTP/1.1\r\nHost: other\r\n\r\n", &head, &why), 0);
  EXPECT_EQ(head.target, "/x");
  EXPECT_EQ(head.headers, (Headers{{"Host", "h"}}));
  // An empty Host is allowed (a target without a host has one).
  EXPECT_EQ(ParseRequestHead("GET / HTTP/1.1\r\nHost:\r\n\r\n", &head, &why), 0);
  // A NUL in the path is refused; in the query it is the extension's.
  EXPECT_EQ(ParseRequestHead("GET /a.htm%00.gif HTTP/1.0\r\n\r\n", &head, &why), 400);
  EXPECT_EQ(ParseRequestHead("GET /s.so?x=%00 HTTP/1.0\r\n\r\n", &head, &why), 0);
  // As many field lines as civetweb keeps, and not one more.
  std::string lines = "Host: x\r\n";
  for (std::size_t i = 1; i < kMaxFieldLines; ++i) lines += "X-" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(ParseRequestHead("GET / HTTP/1.1\r\n" + lines + "\r\n", &head, &why), 0);
  EXPECT_EQ(ParseRequestHead("GET / HTTP/1.1\r\n" + lines + "X-Z: v\r\n\r\n", &head, &why), 431);
}

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
