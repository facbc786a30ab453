#include "base/clock.h"

#include <chrono>

#include "base/tick_count.h"

namespace tellwen {

uint64_t SystemClock::SteadyMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

uint64_t SystemClock::TickCount() { return tellwen::TickCount(); }

std::time_t SystemClock::Now() { return std::time(nullptr); }

std::tm SystemClock::LocalNow() {
  const std::time_t now = Now();
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

void SystemClock::SleepFor(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return woken_; });
}

void SystemClock::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

Clock& MachineClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace tellwen
