#include "monitor/core/status_line.h"

namespace tellwen::monitor {

std::string FormatStatusLine(const MonitorTexts& t) {
  return "status: " + t.status + " | computers: " + t.computers_number +
         " | last computer: " + t.last_computer + " " + t.last_computer_status +
         " | last round: " + t.last_round_time;
}

void StatusLine::OnTexts(const MonitorTexts& texts) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (printed_ && texts.status == last_.status && texts.last_computer == last_.last_computer &&
      texts.last_computer_status == last_.last_computer_status) {
    return;
  }
  printed_ = true;
  last_ = texts;
  out_ << FormatStatusLine(texts) << std::endl;
}

}  // namespace tellwen::monitor
