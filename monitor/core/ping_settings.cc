#include "monitor/core/ping_settings.h"

#include <cctype>
#include <climits>

namespace tellwen::monitor {

int LeadingInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

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
