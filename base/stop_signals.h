// StopSignals: SIGINT and SIGTERM ask a headless program to stop.
//
// While an object lives, the first of these signals sets the stop flag that
// the program's loop polls; the previous handlers come back when it is
// destroyed. With SecondSignal::kEndsProcess a second signal ends the process
// at once with the signal's default action (for a job that may take long to
// wind down); with kIgnored it only sets the flag again.
//
// Thread safety: create one object at a time, on the main thread; the flag
// may be read from any thread.
#pragma once

#include <signal.h>

#include <atomic>

namespace tellwen {

class StopSignals {
 public:
  enum class SecondSignal { kIgnored, kEndsProcess };

  explicit StopSignals(SecondSignal second = SecondSignal::kIgnored);
  ~StopSignals();

  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Set by the first signal since the object was made.
  static const std::atomic<bool>& flag();
  static bool Requested() { return flag().load(); }

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

}  // namespace tellwen
