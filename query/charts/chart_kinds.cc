#include "query/charts/chart_kinds.h"

namespace tellwen::query {

namespace {

constexpr ChartRange kRanges[kRangeCount] = {
    {1, "daily_", 25, "%Y-%m-%d-%H", "daily"},
    {2, "weekly", 8, "%Y-%m-%d", "weekly"},
    {3, "yearly", 13, "%Y-%m", "yearly"},
};

constexpr ChartKind kKinds[kKindCount] = {
    {"pings", "successes", 3, "failures", 4, kIntegerFormat, "pings"},
    {"searches", "", 5, "", -1, kIntegerFormat, "searches"},
    {"accesses", "", 7, "", -1, kIntegerFormat, "accesses"},
    {"search times", "", 8, "", -1, kTimeFormat, "times"},
    {"results number", "requested", 9, "returned", 10, kIntegerFormat, "results"},
    {"failed accesses", "updating", 11, "down", 12, kIntegerFormat, "failures"},
};

}  // namespace

const ChartRange& RangeAt(int index) { return kRanges[index]; }
const ChartKind& KindAt(int kind) { return kKinds[kind]; }

}  // namespace tellwen::query
