#include "admin/core/interval.h"

#include <cstdint>

#include "base/int_text.h"

namespace tellwen::admin {
namespace {

constexpr int kUnitHours[] = {1, 24, 168, 8760};

}  // namespace

ShownInterval ShowInterval(int hours) {
  if (hours == kInfiniteHours) return {"", IntervalUnit::kInfinite};
  IntervalUnit unit = IntervalUnit::kHours;
  if (hours >= 8760) {
    unit = IntervalUnit::kYears;
  } else if (hours >= 168) {
    unit = IntervalUnit::kWeeks;
  } else if (hours >= 24) {
    unit = IntervalUnit::kDays;
  }
  return {std::to_string(hours / kUnitHours[static_cast<int>(unit)]), unit};
}

int StoreInterval(const std::string& number, IntervalUnit unit) {
  if (unit == IntervalUnit::kInfinite) return kInfiniteHours;
  const int64_t hours =
      static_cast<int64_t>(LeadingInt(number)) * kUnitHours[static_cast<int>(unit)];
  if (hours >= kInfiniteHours) return kInfiniteHours;
  if (hours < -kInfiniteHours) return -kInfiniteHours;
  return static_cast<int>(hours);
}

}  // namespace tellwen::admin
