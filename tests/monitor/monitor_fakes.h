// Test support for the ping worker: a scripted echo, a clock whose sleeps
// take no time, an in-memory settings store and an event log that records.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "monitor/core/event_log.h"
#include "monitor/core/monitor_clock.h"
#include "monitor/core/monitor_settings.h"
#include "platform/net/icmp_echo.h"

namespace tellwen::monitor::testing {

// Answers for the hosts in alive_, dead for any other; records every echo.
class FakeEcho : public net::EchoService {
 public:
  net::EchoReply Echo(const std::string& host, int timeout_ms) override {
    calls.emplace_back(host, timeout_ms);
    if (unavailable) return {net::EchoStatus::kError, false, "no socket"};
    return {alive.count(host) ? net::EchoStatus::kAlive : net::EchoStatus::kDead, true, ""};
  }
  std::vector<std::string> Hosts() const {
    std::vector<std::string> hosts;
    for (const auto& call : calls) hosts.push_back(call.first);
    return hosts;
  }

  std::set<std::string> alive;
  bool unavailable = false;
  std::vector<std::pair<std::string, int>> calls;
};

// Time moves only when the worker sleeps; every sleep is recorded. A hook
// runs after each sleep so that a test can change the world mid-loop.
class FakeClock : public MonitorClock {
 public:
  uint64_t SteadyMs() override { return now_ms; }
  uint64_t TickCount() override { return boot_offset_ms + now_ms; }
  std::tm LocalNow() override {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = static_cast<int>(now_ms / 60000 % 60);
    local.tm_sec = static_cast<int>(now_ms / 1000 % 60);
    return local;
  }
  void SleepFor(int ms) override {
    sleeps.push_back(ms);
    if (!woken) now_ms += static_cast<uint64_t>(ms);
    if (after_sleep) after_sleep(ms);
  }
  void Wake() override { woken = true; }

  uint64_t now_ms = 0;
  uint64_t boot_offset_ms = 5000000;
  bool woken = false;
  std::vector<int> sleeps;
  std::function<void(int)> after_sleep;
};

class MemorySettings : public MonitorSettings {
 public:
  std::string GetValue(const std::string& name) override {
    auto found = values.find(name);
    return found == values.end() ? "" : found->second;
  }
  void SetValue(const std::string& name, const std::string& value) override {
    values[name] = value;
  }
  std::map<std::string, std::string> values;
};

class RecordingEventLog : public EventLog {
 public:
  void ReportError(uint32_t id, const std::string& insertion) override {
    reports.push_back(FormatEventMessage(id, insertion));
  }
  std::vector<std::string> reports;
};

}  // namespace tellwen::monitor::testing
