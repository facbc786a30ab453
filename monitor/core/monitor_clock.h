// MonitorClock: the time sources and the sleep of the ping worker, behind an
// interface so that tests run rounds, pauses and 5-minute back-offs in no
// time. SystemClock is the real one.
//
// Thread safety: SystemClock may be used from any thread; Wake may be called
// from any thread while another sleeps.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>

namespace tellwen::monitor {

class MonitorClock {
 public:
  virtual ~MonitorClock() = default;
  // A monotonic reading in milliseconds, for the round time.
  virtual uint64_t SteadyMs() = 0;
  // Milliseconds since the system started (the LastPingTime clock).
  virtual uint64_t TickCount() = 0;
  // The local time of now.
  virtual std::tm LocalNow() = 0;
  // Sleeps ms milliseconds, or less once Wake has been called.
  virtual void SleepFor(int ms) = 0;
  // Ends the current sleep and every later one at once (the stop).
  virtual void Wake() = 0;
};

class SystemClock : public MonitorClock {
 public:
  uint64_t SteadyMs() override;
  uint64_t TickCount() override;
  std::tm LocalNow() override;
  void SleepFor(int ms) override;
  void Wake() override;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

}  // namespace tellwen::monitor
