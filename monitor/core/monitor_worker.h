// MonitorWorker: the ping rounds that keep monitor_pings current.
//
// While WebStatus is "yes" the worker pings the computers of shares1 one per
// step, a pause apart, and after the last one replaces monitor_pings with the
// round's results in one transaction, then starts the next round with a
// fresh list. While WebStatus is anything else it waits and pings nothing; a
// round it was in is abandoned without a rewrite and starts again from its
// first computer. An empty list (or a failed database call) idles for five
// minutes before the list is queried again. Database errors go to the event
// log, one report per failed call.
//
// The loop, until the stop flag is set:
//   1. when waiting: read WebStatus; "yes" loads the list and ends the wait;
//   2. sleep the pause of the slider position;
//   3. take one step: paused, waiting, idle, or ping the next computer.
//
// The viewer drives the worker through state(): stop (RequestStop), pause,
// slider position; it reads the texts and counters there.
//
// Thread safety: Run (or LoopOnce/Step) on one thread, the worker's;
// state() and RequestStop from any thread.
#pragma once

#include <string>
#include <vector>

#include "base/clock.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "monitor/core/event_log.h"
#include "monitor/core/monitor_state.h"
#include "monitor/core/ping_round.h"
#include "platform/net/icmp_echo.h"

namespace tellwen::monitor {

struct MonitorDependencies {
  net::EchoService* echo = nullptr;
  Settings* settings = nullptr;
  Clock* clock = nullptr;
  EventLog* event_log = nullptr;
  SqlSession* sql = nullptr;  // batches run with the monitor's timeouts (kMonitorRound)
};

class MonitorWorker {
 public:
  // REQUIRES: every dependency set; they outlive the worker.
  explicit MonitorWorker(MonitorDependencies deps);

  MonitorState& state() { return state_; }

  // Reads MonitorPingInterval and PingTimeout with their out-of-range rules
  // into the state (done when the program opens, before Run).
  void ReadSettings();
  // Stores the slider position as MonitorPingInterval (done at exit).
  void SaveSettings();

  // The loop above until the stop flag is set.
  void Run();
  // Sets the stop flag and ends the worker's sleep at once.
  void RequestStop();

  // One pass of the loop (steps 1 to 3); exposed for tests.
  void LoopOnce();
  // One step (3); exposed for tests.
  void Step();

 private:
  // WebStatus; "updating" left by an update that did not finish is first put
  // back (common/update_state.h).
  std::string WebStatus();
  SqlResult RunMonitorSql(const std::string& command, int column_count);
  void LoadList();
  void PingNext();
  void Rewrite();
  void SetStatus(const char* status);

  MonitorDependencies deps_;
  MonitorState state_;
  std::vector<ComputerRecord> list_;  // the worker's thread only
  uint64_t round_start_ms_ = 0;
};

}  // namespace tellwen::monitor
