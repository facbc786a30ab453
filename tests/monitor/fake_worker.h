// Test support: a ping worker that never runs. The window drives it as the
// real one; the test reads what it was told and fills its texts by hand.
//
// Thread safety: the test's thread only (the state itself is thread safe).
#pragma once

#include <chrono>

#include "monitor/core/worker_thread.h"

namespace tellwen::testing {

class FakeWorker : public monitor::WorkerControl {
 public:
  monitor::MonitorState& state() override { return state_; }
  void Start() override { ++starts; }
  void RequestStop() override { state_.stop = true; }
  bool WaitEnded(std::chrono::milliseconds) override { return true; }
  void SaveSettings() override { saved_position = state_.slider_position; }

  // The state in the middle of a round: the texts shown (status, last
  // computer, its status, computers, interval, round time), position of
  // computers done.
  void ShowRound(const monitor::MonitorTexts& texts, int position, int computers) {
    state_.UpdateTexts([&texts](monitor::MonitorTexts& shown) { shown = texts; });
    state_.computers = computers;
    state_.position = position;
  }

  monitor::MonitorState state_;
  int starts = 0;
  int saved_position = -1;
};

}  // namespace tellwen::testing
