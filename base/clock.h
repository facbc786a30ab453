// Clock: the time sources and the sleep of every program, behind one
// interface so that tests run rounds, pauses and time stamps in no time
// (the fake in tests/support moves only when told or when slept on).
//
// TickCount is the boot clock behind `LastPingTime`: the monitor writes it and
// the web extension compares it with its own reading, so both read it here
// (base/tick_count.h), never a clock of their own.
//
// Thread safety: SystemClock may be used from any thread; Wake may be called
// from any thread while another sleeps.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>

namespace tellwen {

class Clock {
 public:
  virtual ~Clock() = default;
  // A monotonic reading in milliseconds, for measuring how long a thing took.
  virtual uint64_t SteadyMs() = 0;
  // Milliseconds since the system started (comparable across processes).
  virtual uint64_t TickCount() = 0;
  // Seconds since the epoch (wall time).
  virtual std::time_t Now() = 0;
  // The local time of Now().
  virtual std::tm LocalNow() = 0;
  // Sleeps ms milliseconds, or less once Wake has been called.
  virtual void SleepFor(int ms) = 0;
  // Ends the current sleep and every later one at once (a stop).
  virtual void Wake() = 0;
};

class SystemClock final : public Clock {
 public:
  uint64_t SteadyMs() override;
  uint64_t TickCount() override;
  std::time_t Now() override;
  std::tm LocalNow() override;
  void SleepFor(int ms) override;
  void Wake() override;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

// A process-wide SystemClock for code that reads the time or takes short
// sleeps (pages, reports). Wake would end every later sleep of the process:
// anything that calls it owns a SystemClock of its own.
Clock& MachineClock();

}  // namespace tellwen
