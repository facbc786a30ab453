// CStatChart: one statistics chart, built, filled from the rows of
// spStatCharts, drawn and saved, then discarded.
//
// A chart shows one or two series of points over a time range (25 hours, 8
// days or 13 months), a dotted grid, a vertical value scale, its title
// written upward on the left and, under the plot, a total and an average
// per series. The picture is 443 x 150 pixels.
//
// Thread safety: an object belongs to one thread; distinct objects share
// nothing (fonts are looked up per text).
#pragma once

#include <string>
#include <vector>

#include "common/db_session.h"
#include "query/charts/chart_canvas.h"

namespace tellwen::query {

inline constexpr int kChartWidth = 443;
inline constexpr int kChartHeight = 150;
inline constexpr const char* kChartFace = "Verdana";

struct ChartPoint {
  std::string label;
  bool start_of_period = false;
  double value = 0;
};

// A figure of a chart. Integer format: the value truncated toward zero, in
// decimal. Time format: a number of seconds s (truncated, 0 when negative)
// as [h:]mm:ss, the hours only from 3600 seconds on and unpadded (425 is
// "07:05", 7230 is "2:00:30").
std::string FormatChartNumber(double value, int number_format);

class CStatChart {
 public:
  // REQUIRES: 0 <= range_index < kRangeCount. Both series get the range's
  // point count of unlabelled, unmarked zero points.
  explicit CStatChart(int range_index);

  // Fills title, labels, format, totals, averages and points for a kind
  // (0 to 5) from the rows of spStatCharts: the interval rows, then the
  // totals row, then the averages row (times 100; the two hidden decimals
  // are cut, not rounded). Fewer than two rows leave the chart empty.
  void Fill(const SqlRows& rows, int kind);

  // Draws the whole chart on a canvas created at 443 x 150.
  void Draw(CChartCanvas* canvas);

  // Draws on a canvas of its own and writes it as PNG to the path. When the
  // file cannot be written, *unsaved_png (if given) gets the PNG's bytes.
  bool DrawAndSave(const std::string& path, std::string* error, std::string* unsaved_png = nullptr,
                   FileEnv* env = nullptr);

  // The left margin of the plot: 7 pixels per character of the formatted
  // maximum, plus 33.
  int LeftMargin() const;

  int range_index() const { return range_index_; }
  bool two_series() const { return two_series_; }
  const std::vector<ChartPoint>& series1() const { return series1_; }
  const std::vector<ChartPoint>& series2() const { return series2_; }
  const std::string& title() const { return title_; }
  const std::string& label1() const { return label1_; }
  const std::string& label2() const { return label2_; }
  const std::string& total1() const { return total1_; }
  const std::string& total2() const { return total2_; }
  const std::string& average1() const { return average1_; }
  const std::string& average2() const { return average2_; }
  int number_format() const { return number_format_; }

 private:
  void RewriteLabels();
  double Minimum() const;
  double Maximum() const;

  int range_index_;
  bool two_series_ = false;
  std::vector<ChartPoint> series1_;
  std::vector<ChartPoint> series2_;
  std::string label1_;
  std::string label2_;
  std::string title_;
  std::string total1_;
  std::string total2_;
  std::string average1_;
  std::string average2_;
  int number_format_ = 1;
};

}  // namespace tellwen::query
