// StatusLine: the headless monitor's progress on the terminal.
//
// One line is printed each time the worker's state, the last computer or
// that computer's status changes; the other texts (computers in the list,
// last round time) ride along. Changes of those alone print nothing.
//
// Thread safety: OnTexts may be called from any thread; lines never mix.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

#include "monitor/core/monitor_state.h"

namespace tellwen::monitor {

// "status: pinging... | computers: 2 | last computer: 127.0.0.1 alive! |
// last round: 00:00:01" (on one line).
std::string FormatStatusLine(const MonitorTexts& texts);

class StatusLine {
 public:
  explicit StatusLine(std::ostream& out) : out_(out) {}
  void OnTexts(const MonitorTexts& texts);

 private:
  std::mutex mutex_;
  std::ostream& out_;
  bool printed_ = false;
  MonitorTexts last_;
};

}  // namespace tellwen::monitor
