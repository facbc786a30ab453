#include "monitor/core/overall_progress.h"

#include <algorithm>

namespace tellwen::monitor {

OverallProgress OverallFor(int position, int computers) {
  OverallProgress progress;
  if (computers <= 1) return progress;
  progress.update = true;
  progress.maximum = computers - 1;
  progress.position = std::clamp(position, 0, progress.maximum);
  const long long percent = static_cast<long long>(position) * 100 / (computers - 1);
  progress.percent = std::to_string(std::clamp(percent, 0LL, 100LL)) + "%";
  return progress;
}

}  // namespace tellwen::monitor
