// The monitor's two settings rules and the pause table.
//
// MonitorPingInterval is a slider position 0..10 that selects the pause
// between two pings; PingTimeout is the echo timeout in milliseconds. Both are
// read with Settings::GetIntValue (a text that is not a number reads as 0).
//
// Thread safety: pure functions.
#pragma once

#include <string>

namespace tellwen::monitor {

inline constexpr int kDefaultPingPosition = 2;
inline constexpr int kDefaultPingTimeoutMs = 1000;
// The back-off of an empty computer list before it is queried again.
inline constexpr int kIdleSleepMs = 300000;

// A stored MonitorPingInterval: positions outside 0..10 give 2.
int PingPositionFromSetting(int value);

// The pause of a slider position: 50, 250, 500, 750, 1000, 2000, 3000, 7500,
// 15000, 30000, 60000 ms for 0..10; any other position gives 500.
int PauseMilliseconds(int position);

// A stored PingTimeout: outside 50..10000 gives 1000.
int PingTimeoutFromSetting(int value);

}  // namespace tellwen::monitor
