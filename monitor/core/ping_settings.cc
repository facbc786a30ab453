#include "monitor/core/ping_settings.h"

namespace tellwen::monitor {

int PingPositionFromSetting(int value) {
  return value < 0 || value > 10 ? kDefaultPingPosition : value;
}

int PauseMilliseconds(int position) {
  static constexpr int kPause[] = {50, 250, 500, 750, 1000, 2000, 3000, 7500, 15000, 30000, 60000};
  if (position < 0 || position > 10) return 500;
  return kPause[position];
}

int PingTimeoutFromSetting(int value) {
  return value < 50 || value > 10000 ? kDefaultPingTimeoutMs : value;
}

}  // namespace tellwen::monitor
