// Test support for the ping worker: an event log that records; the echo,
// clock, settings and SQL fakes are the shared ones.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "monitor/core/event_log.h"
#include "platform/net/icmp_echo.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_echo.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"

namespace tellwen::monitor::testing {

// The shared fakes, under the names the monitor's tests use.
using ::tellwen::testing::FakeClock;
using ::tellwen::testing::FakeEcho;
using ::tellwen::testing::FakeSettings;
using ::tellwen::testing::FakeSql;

class RecordingEventLog : public EventLog {
 public:
  void ReportError(uint32_t id, const std::string& insertion) override {
    reports.push_back(FormatEventMessage(id, insertion));
  }
  std::vector<std::string> reports;
};

}  // namespace tellwen::monitor::testing
