// Repeated messages: each key shown once, then a count at intervals, a
// bounded number of keys, from any number of threads.
#include "base/user_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/base/recording_messages.h"
#include "tests/support/fake_clock.h"

namespace tellwen {
namespace {

using tellwen::testing::FakeClock;
using tellwen::testing::ScopedRecordingMessages;
using ::testing::ElementsAre;

class Repeats : public ::testing::Test {
 protected:
  ScopedRecordingMessages messages_;
  FakeClock clock_;
  RepeatedMessages repeats_{clock_, /*interval_ms=*/60000, /*max_keys=*/3};
};

TEST_F(Repeats, AKeyIsShownOnceThenCountedAtIntervals) {
  for (int i = 0; i < 1000; ++i) repeats_.Show("a", "text a", MessageIcon::kError);
  EXPECT_THAT(messages_->shown(), ElementsAre("text a"));
  clock_.now_ms += 60000;
  repeats_.Show("a", "text a", MessageIcon::kError);
  repeats_.Show("a", "text a", MessageIcon::kError);
  EXPECT_THAT(messages_->shown(),
              ElementsAre("text a", "text a (1000 times in the last 60 seconds)"));
  clock_.now_ms += 3600000;
  repeats_.Show("a", "text a", MessageIcon::kError);
  EXPECT_EQ(messages_->shown().back(), "text a (2 times in the last 3600 seconds)");
}

TEST_F(Repeats, KeysAreCountedApartAndBeyondTheBoundShareOneCount) {
  for (int i = 0; i < 100; ++i) {
    repeats_.Show("a", "A", MessageIcon::kError);
    repeats_.Show("b", "B", MessageIcon::kError);
    repeats_.Show("c", "C", MessageIcon::kError);
    repeats_.Show("key" + std::to_string(i), "other " + std::to_string(i), MessageIcon::kError);
  }
  EXPECT_THAT(messages_->shown(), ElementsAre("A", "B", "C", "other 0"));
  clock_.now_ms += 60000;
  repeats_.Show("key500", "other 500", MessageIcon::kError);
  EXPECT_EQ(messages_->shown().back(), "other 500 (100 times in the last 60 seconds)");
}

TEST_F(Repeats, ThreadsReportingTogetherShowEachKeyOnce) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 2000; ++i) {
        repeats_.Show(t % 2 ? "odd" : "even", t % 2 ? "O" : "E", MessageIcon::kError);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> shown = messages_->shown();
  std::sort(shown.begin(), shown.end());
  EXPECT_THAT(shown, ElementsAre("E", "O"));
}

}  // namespace
}  // namespace tellwen
