// The "Overall:" progress of a ping round as the monitor's window shows it.
//
// Only a list of more than one computer moves the progress bar: its range is
// 0 .. computers - 1, its position the worker's position, and the
// percentage is position * 100 / (computers - 1), clamped to 0 .. 100, with
// "%" after it. With one computer or none the bar and the percentage keep
// what they showed.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen::monitor {

struct OverallProgress {
  bool update = false;  // false: leave the bar and the percentage as they are
  int maximum = 0;
  int position = 0;
  std::string percent;  // "40%"
};

OverallProgress OverallFor(int position, int computers);

}  // namespace tellwen::monitor
