// The ping worker on a thread of its own, as the window and the headless
// program run it, behind the small interface the window drives (so that its
// tests can drive a fake).
//
// Thread safety: Start, RequestStop, WaitEnded and SaveSettings are called by
// the controlling thread; state() may be read from any thread.
#pragma once

#include <chrono>
#include <future>
#include <thread>

#include "monitor/core/monitor_state.h"
#include "monitor/core/monitor_worker.h"

namespace tellwen::monitor {

class WorkerControl {
 public:
  virtual ~WorkerControl() = default;
  virtual MonitorState& state() = 0;
  // Starts the worker loop (once).
  virtual void Start() = 0;
  // Sets the stop flag and ends the worker's sleep.
  virtual void RequestStop() = 0;
  // Waits up to timeout for the loop to end; true when it has (or never
  // started).
  virtual bool WaitEnded(std::chrono::milliseconds timeout) = 0;
  // Stores the slider position as MonitorPingInterval.
  virtual void SaveSettings() = 0;
};

class WorkerThread : public WorkerControl {
 public:
  // REQUIRES: worker outlives this object.
  explicit WorkerThread(MonitorWorker& worker) : worker_(worker) {}
  // Joins an ended worker; one that did not end in WaitEnded is left to the
  // process's exit (the caller ends the process then).
  ~WorkerThread() override;

  MonitorState& state() override { return worker_.state(); }
  void Start() override;
  void RequestStop() override { worker_.RequestStop(); }
  bool WaitEnded(std::chrono::milliseconds timeout) override;
  void SaveSettings() override { worker_.SaveSettings(); }

 private:
  MonitorWorker& worker_;
  std::promise<void> ended_;
  std::future<void> ended_future_ = ended_.get_future();
  std::thread thread_;
};

}  // namespace tellwen::monitor
