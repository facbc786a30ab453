// Test support: row sets shaped like the result of spStatCharts (13 text
// columns: counter, label index, interval start, ten counts), built by code.
#pragma once

#include <functional>
#include <string>

#include "common/db_session.h"

namespace tellwen::testing {

// `points` interval rows with the label index label(i) and the count
// value(i, column) in columns 3 to 12, then a totals row and an averages row
// whose counts are totals(column) and averages(column).
inline SqlRows StatRows(
    int points, const std::function<int(int)>& label, const std::function<int(int, int)>& value,
    const std::function<int(int)>& totals = [](int) { return 0; },
    const std::function<int(int)>& averages = [](int) { return 0; }) {
  SqlRows rows;
  for (int i = 0; i < points; ++i) {
    SqlRow row{std::to_string(i + 1), std::to_string(label(i)), "2002-05-06 00:00:00"};
    for (int column = 3; column < 13; ++column) row.push_back(std::to_string(value(i, column)));
    rows.push_back(row);
  }
  SqlRow sums{"-1", "-1", "2002-05-06 14:30:00"};
  SqlRow means{"-1", "-1", "2002-05-06 14:30:00"};
  for (int column = 3; column < 13; ++column) {
    sums.push_back(std::to_string(totals(column)));
    means.push_back(std::to_string(averages(column)));
  }
  rows.push_back(sums);
  rows.push_back(means);
  return rows;
}

// A successful result holding the rows.
inline SqlResult RowsResult(SqlRows rows) {
  SqlResult result;
  result.rows = std::move(rows);
  return result;
}

// Hours of a daily range ending at 14:00: the interval ends 14, 15, ... 23,
// 0, 1, ... so the point of hour 0 is index 10.
inline int DailyHour(int i) { return (14 + i) % 24; }

}  // namespace tellwen::testing
