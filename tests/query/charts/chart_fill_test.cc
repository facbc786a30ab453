// Filling a chart from the statistics rows, the figures' formats, and the
// reading of a chart request's texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "base/int_text.h"
#include "query/charts/chart_canvas.h"
#include "query/charts/chart_kinds.h"
#include "query/charts/chart_request.h"
#include "query/charts/stat_chart.h"
#include "tests/query/charts/chart_rows.h"

namespace tellwen::query {
namespace {

using ::tellwen::testing::DailyHour;
using ::tellwen::testing::StatRows;
using ::testing::ElementsAre;

TEST(ChartNumberFormat, TimeIsMinutesAndSecondsWithHoursFromAnHourOn) {
  EXPECT_EQ(FormatChartNumber(425, kTimeFormat), "07:05");
  EXPECT_EQ(FormatChartNumber(7230, kTimeFormat), "2:00:30");
  EXPECT_EQ(FormatChartNumber(4000, kTimeFormat), "1:06:40");
  EXPECT_EQ(FormatChartNumber(3599.99, kTimeFormat), "59:59");
  EXPECT_EQ(FormatChartNumber(3600, kTimeFormat), "1:00:00");
  EXPECT_EQ(FormatChartNumber(0, kTimeFormat), "00:00");
  EXPECT_EQ(FormatChartNumber(-5, kTimeFormat), "00:00");
  EXPECT_EQ(FormatChartNumber(40 * 3600.0, kTimeFormat), "40:00:00");
}

TEST(ChartNumberFormat, IntegerIsTruncatedTowardZero) {
  EXPECT_EQ(FormatChartNumber(12.99, kIntegerFormat), "12");
  EXPECT_EQ(FormatChartNumber(-3.7, kIntegerFormat), "-3");
  EXPECT_EQ(FormatChartNumber(12345, kIntegerFormat), "12345");
  EXPECT_EQ(FormatChartNumber(1e300, kIntegerFormat), "9200000000000000000");
}

TEST(ChartRequest, TextsReadAsNumbersWithTheirFallbacks) {
  EXPECT_EQ(LeadingInt("12abc"), 12);
  EXPECT_EQ(LeadingInt("  -7"), -7);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999"), INT_MAX);
  EXPECT_EQ(LeadingInt("-99999999999999999999"), INT_MIN);

  EXPECT_EQ(RangeIndexFromCode("1"), 0);
  EXPECT_EQ(RangeIndexFromCode("2"), 1);
  EXPECT_EQ(RangeIndexFromCode("3"), 2);
  EXPECT_EQ(RangeIndexFromCode(""), 0);
  EXPECT_EQ(RangeIndexFromCode("7"), 0);
  EXPECT_EQ(RangeIndexFromCode("0"), 0);
  EXPECT_EQ(RangeIndexFromCode("2/../../etc"), 1);

  EXPECT_EQ(KindFromText(""), 1);
  EXPECT_EQ(KindFromText("9"), 1);
  EXPECT_EQ(KindFromText("-1"), 1);
  EXPECT_EQ(KindFromText("x"), 0);  // not a number: reads as 0, the pings
  EXPECT_EQ(KindFromText("5"), 5);
  EXPECT_EQ(KindFromText("3'; drop table x"), 3);
}

TEST(ChartRequest, ReportTextNamesRangeAndKindOrRepeatsTheRequest) {
  EXPECT_EQ(ChartReportText("2", "3"), " chart  [weekly, times]");
  EXPECT_EQ(ChartReportText("1", "0"), " chart  [daily, pings]");
  EXPECT_EQ(ChartReportText("7", "x"), " chart  [7, x]");
  EXPECT_EQ(ChartReportText("", "05"), " chart  [, 05]");
  // A request cannot add lines of its own to the report.
  EXPECT_EQ(ChartReportText("1\r\nforged", "1"), " chart  [1??forged, searches]");
}

TEST(ChartRequest, ChartsLiveInTheFolderOfTheExtensionsUrl) {
  std::string folder;
  ASSERT_TRUE(ChartUrlFolder("/scripts/KIVQuery.so", &folder));
  EXPECT_EQ(folder, "/scripts");
  ASSERT_TRUE(ChartUrlFolder("/KIVQuery.so", &folder));
  EXPECT_EQ(folder, "");
  EXPECT_FALSE(ChartUrlFolder("KIVQuery.so", &folder));
}

TEST(ChartFill, KindTableSetsTitleLabelsSeriesAndFormat) {
  const SqlRows rows = StatRows(25, DailyHour, [](int, int) { return 1; });
  struct Expected {
    const char* title;
    bool two;
    const char* label1;
    const char* label2;
    int format;
  };
  const Expected expected[6] = {{"pings", true, "successes", "failures", kIntegerFormat},
                                {"searches", false, "", "", kIntegerFormat},
                                {"accesses", false, "", "", kIntegerFormat},
                                {"search times", false, "", "", kTimeFormat},
                                {"results number", true, "requested", "returned", kIntegerFormat},
                                {"failed accesses", true, "updating", "down", kIntegerFormat}};
  for (int kind = 0; kind < 6; ++kind) {
    SCOPED_TRACE(kind);
    CStatChart chart(0);
    chart.Fill(rows, kind);
    EXPECT_EQ(chart.title(), expected[kind].title);
    EXPECT_EQ(chart.two_series(), expected[kind].two);
    EXPECT_EQ(chart.label1(), expected[kind].label1);
    EXPECT_EQ(chart.label2(), expected[kind].label2);
    EXPECT_EQ(chart.number_format(), expected[kind].format);
  }
}

TEST(ChartFill, PointsComeFromTheKindsColumns) {
  // value = 100 * column + row index: every cell tells where it came from.
  const SqlRows rows = StatRows(25, DailyHour, [](int i, int column) { return 100 * column + i; });
  CStatChart results(0);
  results.Fill(rows, 4);
  ASSERT_EQ(results.series1().size(), 25u);
  ASSERT_EQ(results.series2().size(), 25u);
  EXPECT_EQ(results.series1()[0].value, 900);
  EXPECT_EQ(results.series1()[24].value, 924);
  EXPECT_EQ(results.series2()[3].value, 1003);
  EXPECT_EQ(results.series1()[3].label, "17");
  EXPECT_EQ(results.series2()[3].label, "");

  CStatChart accesses(0);
  accesses.Fill(rows, 2);
  EXPECT_EQ(accesses.series1()[5].value, 705);
  EXPECT_EQ(accesses.series2()[5].value, 0);  // one series: the second stays empty
}

TEST(ChartFill, TotalsAreWholeAndAveragesCutTheirHiddenDecimals) {
  const SqlRows rows = StatRows(
      25, DailyHour, [](int, int) { return 0; }, [](int column) { return column * 1000 + 7; },
      [](int column) { return column == 5   ? 1234
                              : column == 8 ? 42599
                                            : 1299; });
  CStatChart searches(0);
  searches.Fill(rows, 1);
  EXPECT_EQ(searches.total1(), "5007");
  EXPECT_EQ(searches.average1(), "12");  // 12.34, cut

  CStatChart pings(0);
  pings.Fill(rows, 0);
  EXPECT_EQ(pings.total1(), "3007");
  EXPECT_EQ(pings.total2(), "4007");
  EXPECT_EQ(pings.average1(), "12");  // 12.99 is cut, not rounded up
  EXPECT_EQ(pings.average2(), "12");

  CStatChart times(0);
  times.Fill(rows, 3);
  EXPECT_EQ(times.total1(), "2:13:27");  // 8007 s
  EXPECT_EQ(times.average1(), "07:05");  // 425.99 s
}

TEST(ChartFill, StartOfPeriodIsTheLabelIndexZero) {
  const SqlRows rows = StatRows(25, DailyHour, [](int, int) { return 0; });
  CStatChart chart(0);
  chart.Fill(rows, 0);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(chart.series1()[i].start_of_period, DailyHour(i) == 0) << i;
    EXPECT_FALSE(chart.series2()[i].start_of_period) << i;
  }
}

TEST(ChartFill, MoreRowsThanPointsStopAtThePointCountAndFewerLeaveZeros) {
  CStatChart weekly(1);
  weekly.Fill(StatRows(
                  12, [](int i) { return i % 7; }, [](int i, int) { return i + 1; }),
              1);
  ASSERT_EQ(weekly.series1().size(), 8u);
  EXPECT_EQ(weekly.series1()[7].value, 8);

  CStatChart yearly(2);
  yearly.Fill(StatRows(
                  3, [](int i) { return i; }, [](int, int) { return 5; }),
              1);
  ASSERT_EQ(yearly.series1().size(), 13u);
  EXPECT_EQ(yearly.series1()[2].value, 5);
  EXPECT_EQ(yearly.series1()[3].value, 0);
  EXPECT_EQ(yearly.series1()[3].label, "");

  CStatChart empty(0);
  empty.Fill({SqlRow(13, "9")}, 1);  // a single row holds no summary rows
  EXPECT_EQ(empty.total1(), "");
  EXPECT_EQ(empty.series1()[0].value, 0);
}

TEST(ChartFill, ShortRowsReadAsEmpty) {
  CStatChart chart(1);
  chart.Fill({{"1", "0"}, {"-1"}, {"-1"}}, 4);
  EXPECT_EQ(chart.series1()[0].value, 0);
  EXPECT_EQ(chart.total2(), "0");
  EXPECT_TRUE(chart.series1()[0].start_of_period);
}

std::vector<std::string> DrawnLabels(int range_index, const SqlRows& rows) {
  CStatChart chart(range_index);
  chart.Fill(rows, 1);
  CChartCanvas canvas;
  EXPECT_TRUE(canvas.Create(kChartWidth, kChartHeight));
  chart.Draw(&canvas);
  std::vector<std::string> labels;
  for (const ChartPoint& p : chart.series1()) labels.push_back(p.label);
  return labels;
}

TEST(ChartLabels, RewrittenPerRangeWhenDrawn) {
  auto zero = [](int, int) { return 0; };
  // Daily: the hour as plain decimal ("05" reads 5).
  SqlRows daily = StatRows(25, DailyHour, zero);
  daily[0][1] = "05";
  const auto hours = DrawnLabels(0, daily);
  EXPECT_EQ(hours[0], "5");
  EXPECT_EQ(hours[1], "15");
  EXPECT_EQ(hours[10], "0");

  const auto days = DrawnLabels(1, StatRows(
                                       8, [](int i) { return (4 + i) % 7; }, zero));
  EXPECT_THAT(days, ElementsAre("Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed", "Thu"));

  const auto months = DrawnLabels(2, StatRows(
                                         13, [](int i) { return (4 + i) % 12; }, zero));
  EXPECT_THAT(months, ElementsAre("May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "Jan",
                                  "Feb", "Mar", "Apr", "May"));
}

TEST(ChartLabels, IndexesOutsideTheNameTablesGiveEmptyLabels) {
  auto zero = [](int, int) { return 0; };
  const auto days = DrawnLabels(1, StatRows(
                                       8, [](int i) { return i == 0 ? 7 : -1; }, zero));
  EXPECT_THAT(days, ElementsAre("", "", "", "", "", "", "", ""));
  const auto months = DrawnLabels(2, StatRows(
                                         13, [](int i) { return 12 + i; }, zero));
  EXPECT_EQ(months[0], "");
}

TEST(ChartMargin, SevenPixelsPerCharacterOfTheMaximumPlus33) {
  CStatChart counts(0);
  counts.Fill(StatRows(25, DailyHour, [](int i, int) { return i == 7 ? 12345 : 3; }), 1);
  EXPECT_EQ(counts.LeftMargin(), 68);

  CStatChart times(0);
  times.Fill(StatRows(25, DailyHour, [](int i, int) { return i == 2 ? 4000 : 0; }), 3);
  EXPECT_EQ(times.LeftMargin(), 82);  // "1:06:40"

  // The second series counts for the maximum of a two-series chart.
  CStatChart pings(0);
  pings.Fill(
      StatRows(25, DailyHour, [](int i, int column) { return column == 4 && i == 1 ? 100 : 1; }),
      0);
  EXPECT_EQ(pings.LeftMargin(), 7 * 3 + 33);
}

}  // namespace
}  // namespace tellwen::query
