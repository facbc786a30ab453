#include "indexer/core/update_time_text.h"

#include <cstdio>
#include <ctime>

namespace tellwen::indexer {

std::string FormatElapsed(UpdateClock::duration elapsed) {
  long long total = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  if (total < 0) total = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                total % 60);
  return text;
}

}  // namespace tellwen::indexer
