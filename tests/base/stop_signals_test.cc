#include "base/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace tellwen {
namespace {

TEST(StopSignals, FirstSignalSetsTheFlagAndTheOldHandlersComeBack) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  {
    StopSignals signals;
    EXPECT_FALSE(StopSignals::Requested());
    std::raise(SIGTERM);
    std::raise(SIGINT);  // a second one is only noted again
    EXPECT_TRUE(StopSignals::Requested());
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  StopSignals again;
  EXPECT_FALSE(StopSignals::Requested()) << "each object starts with the flag clear";
}

TEST(StopSignalsDeathTest, SecondSignalCanEndTheProcess) {
  EXPECT_EXIT(
      {
        StopSignals signals(StopSignals::SecondSignal::kEndsProcess);
        std::raise(SIGTERM);
        std::raise(SIGTERM);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace tellwen
