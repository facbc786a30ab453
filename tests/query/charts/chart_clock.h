// Test support: the shared FakeClock standing at a local time the test sets,
// for the chart cache, whose file names and statement carry the date.
//
// Thread safety: as FakeClock; set local_time before the code under test
// runs (it is only read then).
#pragma once

#include <ctime>

#include "tests/support/fake_clock.h"

namespace tellwen::testing {

class ChartClock : public FakeClock {
 public:
  explicit ChartClock(const std::tm& local = std::tm{}) : local_time(local) {}
  std::tm LocalNow() override { return local_time; }

  std::tm local_time;
};

}  // namespace tellwen::testing
