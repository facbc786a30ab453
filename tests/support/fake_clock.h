// Test support: a Clock that moves only when slept on or told to. Every sleep
// is recorded; a hook runs after each so that a test can change the world in
// the middle of a loop. Local time is 2026-12-07 09:mm:ss with the minutes
// and seconds of the steady reading; Now() is a fixed epoch plus it.
//
// Thread safety: one thread drives it (the code under test); Wake may come
// from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "base/clock.h"

namespace tellwen::testing {

class FakeClock : public Clock {
 public:
  uint64_t SteadyMs() override { return now_ms; }
  uint64_t TickCount() override { return boot_offset_ms + now_ms; }
  std::time_t Now() override { return epoch_seconds + static_cast<std::time_t>(now_ms / 1000); }
  std::tm LocalNow() override {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = static_cast<int>(now_ms / 60000 % 60);
    local.tm_sec = static_cast<int>(now_ms / 1000 % 60);
    return local;
  }
  void SleepFor(int ms) override {
    sleeps.push_back(ms);
    if (!woken) now_ms += static_cast<uint64_t>(ms);
    if (after_sleep) after_sleep(ms);
  }
  void Wake() override { woken = true; }

  uint64_t now_ms = 0;
  uint64_t boot_offset_ms = 5000000;
  std::time_t epoch_seconds = 1796633640;  // 2026-12-07 09:34 UTC
  std::atomic<bool> woken{false};
  std::vector<int> sleeps;
  std::function<void(int)> after_sleep;
};

}  // namespace tellwen::testing
