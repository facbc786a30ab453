// The response head: what kivweb takes from an extension and what it sends.
#include "platform/isapi/http_head.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tellwen::isapi {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(HttpHead, StatusTextNeedsThreeDigitsAndNoLineBreak) {
  int status = 0;
  std::string reason;
  EXPECT_TRUE(ParseStatusText("200 OK", &status, &reason));
  EXPECT_EQ(status, 200);
  EXPECT_EQ(reason, "OK");
  EXPECT_TRUE(ParseStatusText("404", &status, &reason));
  EXPECT_EQ(reason, "");
  for (const char* bad :
       {"", "20", "2000 OK", "abc OK", "099 Low", "200 OK\r\nX: y", "200\nOK", "200OK"}) {
    EXPECT_FALSE(ParseStatusText(bad, &status, &reason)) << bad;
  }
}

TEST(HttpHead, KeepsWellFormedLinesAndDropsTheRest) {
  ResponseHead head;
  const int dropped = AddHeaderLines(
      "Content-Type: image/gif\r\nX-A:  spaced  \nno colon\r\n: no name\r\nBad Name: x\r\n"
      "X-Cr: a\rSet-Cookie: b\r\nContent-length: 12\r\nConnection: close\r\n"
      "Transfer-Encoding: chunked\r\nX-Tab: a\tb\r\n\r\nX-After-Blank: no\r\n",
      &head);
  EXPECT_EQ(dropped, 4);
  ASSERT_EQ(head.headers.size(), 3u);
  EXPECT_EQ(head.headers[0], std::make_pair(std::string("Content-Type"), std::string("image/gif")));
  EXPECT_EQ(head.headers[1], std::make_pair(std::string("X-A"), std::string("spaced")));
  EXPECT_EQ(head.headers[2], std::make_pair(std::string("X-Tab"), std::string("a\tb")));
}

TEST(HttpHead, ParsesAWholeHeadAndFindsWhereTheBodyStarts) {
  ResponseHead head;
  const std::string raw =
      "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\nContent-length: 4\r\n\r\nGIF8";
  const std::size_t used = ParseRawHead(raw, &head);
  EXPECT_EQ(raw.substr(used), "GIF8");
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(HasHeader(head, "content-type"));
  EXPECT_FALSE(HasHeader(head, "Content-Length"));

  ResponseHead bare;
  EXPECT_EQ(ParseRawHead("HTTP/1.1 404 Not Found\nX: 1\n\nbody", &bare),
            std::string("HTTP/1.1 404 Not Found\nX: 1\n\n").size());
  EXPECT_EQ(bare.status, 404);
  EXPECT_EQ(bare.reason, "Not Found");

  ResponseHead untouched;
  EXPECT_EQ(ParseRawHead("Content-Type: text/html\r\n\r\n", &untouched), 0u);
  EXPECT_EQ(ParseRawHead("HTTP/1.0 2x0 OK\r\n\r\n", &untouched), 0u);
  EXPECT_EQ(untouched.status, 200);
}

TEST(HttpHead, FormatsTheFramingItChoseAndAContentTypeWhenMissing) {
  ResponseHead head;
  head.status = 302;
  head.reason = "Found";
  head.headers.emplace_back("Location", "/kiv/");
  const std::string chunked = FormatHead("1.1", head, Framing::kChunked, 0);
  EXPECT_EQ(chunked.substr(0, 19), "HTTP/1.1 302 Found\r");
  EXPECT_THAT(chunked, HasSubstr("\r\nLocation: /kiv/\r\n"));
  EXPECT_THAT(chunked, HasSubstr("\r\nContent-Type: text/html\r\n"));
  EXPECT_THAT(chunked, HasSubstr("\r\nTransfer-Encoding: chunked\r\n\r\n"));
  EXPECT_THAT(chunked, HasSubstr("\r\nDate: "));

  head.headers.emplace_back("content-type", "image/png");
  const std::string sized = FormatHead("1.0", head, Framing::kContentLength, 1234);
  EXPECT_THAT(sized, Not(HasSubstr("text/html")));
  EXPECT_THAT(sized, HasSubstr("\r\nContent-Length: 1234\r\n\r\n"));
  EXPECT_THAT(FormatHead("1.0", head, Framing::kClose, 0), HasSubstr("\r\nConnection: close\r\n"));
}

}  // namespace
}  // namespace tellwen::isapi
