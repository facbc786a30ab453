// MonitorState: what the ping worker shares with whoever shows it (the
// headless status line, later the window).
//
// Flags and counters are atomics; the display texts are replaced whole under
// one lock and read as a consistent copy. The worker writes the texts, the
// counters and the waiting and error flags; the viewer writes only the stop
// and pause flags and the slider position.
//
// An observer, when set, is called after every change of the texts on the
// thread that made it (the worker's), outside the lock, with a copy.
//
// Thread safety: every member may be used from any thread at once, except
// SetObserver, which is called before the worker starts.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace tellwen::monitor {

inline constexpr const char* kNotAvailable = "N/A";

// Worker states as the status text shows them.
inline constexpr const char* kStatusWaiting = "waiting...";
inline constexpr const char* kStatusPinging = "pinging...";
inline constexpr const char* kStatusPaused = "paused";
inline constexpr const char* kStatusIdle = "idle";
// The last computer's status.
inline constexpr const char* kComputerPinging = "pinging...";
inline constexpr const char* kComputerAlive = "alive!";
inline constexpr const char* kComputerDead = "dead";

struct MonitorTexts {
  std::string status = kNotAvailable;
  std::string last_computer = kNotAvailable;
  std::string last_computer_status = kNotAvailable;
  std::string computers_number = kNotAvailable;
  std::string interval = kNotAvailable;
  std::string last_round_time = kNotAvailable;

  bool operator==(const MonitorTexts&) const = default;
};

class MonitorState {
 public:
  std::atomic<bool> stop{false};
  std::atomic<bool> pause{false};
  std::atomic<bool> waiting{true};
  std::atomic<bool> error{false};       // the last database call failed
  std::atomic<int> position{0};         // next computer of the list
  std::atomic<int> computers{0};        // computers in the list
  std::atomic<int> slider_position{2};  // MonitorPingInterval
  std::atomic<int> ping_timeout_ms{1000};

  MonitorTexts Texts() const;
  // Applies change to the texts under the lock, then tells the observer
  // when anything changed.
  void UpdateTexts(const std::function<void(MonitorTexts&)>& change);
  void SetObserver(std::function<void(const MonitorTexts&)> observer);

 private:
  mutable std::mutex mutex_;
  MonitorTexts texts_;
  std::function<void(const MonitorTexts&)> observer_;
};

}  // namespace tellwen::monitor
