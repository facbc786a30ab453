#include "base/serial_iconv.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tellwen {
namespace {

// One conversion through cd, whole; "" when it fails.
std::string Convert(iconv_t cd, const std::string& text) {
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* at = out.data();
  size_t out_left = out.size();
  if (iconv(cd, &in, &in_left, &at, &out_left) == static_cast<size_t>(-1)) return "";
  out.resize(out.size() - out_left);
  return out;
}

// What the SMB client library does: one descriptor for the process, used by
// every thread at once. Each thread's texts must come back as converted
// alone, in its own buffer.
TEST(SerialIconv, ThreadsSharingOneDescriptorGetTheirOwnConversions) {
  ASSERT_TRUE(SerialIconvInPlace());
  iconv_t cd = iconv_open("CP850", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::vector<std::string> texts, expected;
  for (int t = 0; t < 4; ++t) {
    std::string text;
    for (int i = 0; i < 200 + 150 * t; ++i)
      text += (t % 2 ? "\xc3\xa9t\xc3\xa9 " : "Z\xc3\xbcrich ");
    texts.push_back(text);
    expected.push_back(Convert(cd, text));
    ASSERT_FALSE(expected.back().empty());
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 3000; ++i) {
        if (Convert(cd, texts[t]) != expected[t]) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  iconv_close(cd);
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace tellwen
