#include "query/charts/stat_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/int_text.h"
#include "query/charts/chart_kinds.h"

namespace tellwen::query {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Plot geometry: the right end, the bottom (value min) and top (value max).
constexpr int kPlotRight = 428;
constexpr int kPlotBottom = 95;
constexpr int kPlotTop = 15;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGrid{224, 224, 224};
constexpr Rgb kStartOfPeriod{224, 0, 0};
constexpr Rgb kSeries1{0, 0, 192};
constexpr Rgb kSeries2{0, 128, 64};
constexpr Rgb kScaleText{128, 128, 160};
constexpr Rgb kTitle{64, 64, 160};
constexpr Rgb kArrow{255, 0, 0};

const std::string& Cell(const SqlRow& row, int column) {
  static const std::string kEmpty;
  return column >= 0 && static_cast<size_t>(column) < row.size() ? row[column] : kEmpty;
}

// Truncation toward zero that stays defined for any double.
long long Truncate(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2e18) return 9200000000000000000LL;
  if (value <= -9.2e18) return -9200000000000000000LL;
  return static_cast<long long>(value);
}

// The lowest and highest value of the series drawn; the first point of
// series1 (0 when it has none) is where both start.
struct ValueRange {
  double low;
  double high;
};

ValueRange ValueRangeOf(const std::vector<ChartPoint>& series1,
                        const std::vector<ChartPoint>* series2) {
  const double first = series1.empty() ? 0 : series1[0].value;
  ValueRange range{first, first};
  auto widen = [&range](const std::vector<ChartPoint>& series) {
    for (const ChartPoint& p : series) {
      range.low = std::min(range.low, p.value);
      range.high = std::max(range.high, p.value);
    }
  };
  widen(series1);
  if (series2 != nullptr) widen(*series2);
  return range;
}

}  // namespace

std::string FormatChartNumber(double value, int number_format) {
  if (number_format != kTimeFormat) return std::to_string(Truncate(value));
  long long s = Truncate(value);
  if (s < 0) s = 0;
  std::string text;
  if (s >= 3600) {
    text = std::to_string(s / 3600) + ":";
    s %= 3600;
  }
  char minutes_seconds[8];
  std::snprintf(minutes_seconds, sizeof minutes_seconds, "%02d:%02d", static_cast<int>(s / 60),
                static_cast<int>(s % 60));
  return text + minutes_seconds;
}

CStatChart::CStatChart(int range_index)
    : range_index_(range_index),
      series1_(RangeAt(range_index).point_count),
      series2_(RangeAt(range_index).point_count) {}

void CStatChart::Fill(const SqlRows& rows, int kind) {
  const ChartKind& k = KindAt(kind);
  title_ = k.title;
  label1_ = k.label1;
  label2_ = k.label2;
  two_series_ = k.column2 >= 0;
  number_format_ = k.number_format;
  if (rows.size() < 2) return;
  const size_t m = rows.size();
  const SqlRow& totals = rows[m - 2];
  const SqlRow& averages = rows[m - 1];
  total1_ = FormatChartNumber(LeadingInt(Cell(totals, k.column1)), number_format_);
  average1_ = FormatChartNumber(LeadingInt(Cell(averages, k.column1)) * 0.01, number_format_);
  if (two_series_) {
    total2_ = FormatChartNumber(LeadingInt(Cell(totals, k.column2)), number_format_);
    average2_ = FormatChartNumber(LeadingInt(Cell(averages, k.column2)) * 0.01, number_format_);
  }
  const size_t data_rows = std::min(m - 2, series1_.size());
  for (size_t i = 0; i < data_rows; ++i) {
    const SqlRow& row = rows[i];
    ChartPoint& point = series1_[i];
    point.label = Cell(row, 1);
    point.start_of_period = Cell(row, 1) == "0";
    point.value = LeadingInt(Cell(row, k.column1));
    if (two_series_) {
      series2_[i] = ChartPoint{"", false, static_cast<double>(LeadingInt(Cell(row, k.column2)))};
    }
  }
}

void CStatChart::RewriteLabels() {
  for (ChartPoint& point : series1_) {
    const int index = LeadingInt(point.label);
    switch (range_index_) {
      case 0:
        point.label = std::to_string(index);
        break;
      case 1:
        point.label = index >= 0 && index < 7 ? kDayNames[index] : "";
        break;
      default:
        point.label = index >= 0 && index < 12 ? kMonthNames[index] : "";
        break;
    }
  }
}

double CStatChart::Minimum() const {
  return ValueRangeOf(series1_, two_series_ ? &series2_ : nullptr).low;
}

double CStatChart::Maximum() const {
  return ValueRangeOf(series1_, two_series_ ? &series2_ : nullptr).high;
}

int CStatChart::LeftMargin() const {
  return 7 * static_cast<int>(FormatChartNumber(Maximum(), number_format_).size()) + 33;
}

void CStatChart::Draw(CChartCanvas* canvas) {
  RewriteLabels();
  const int n = static_cast<int>(series1_.size());
  if (n < 2) return;
  const double low = Minimum();
  const double high = Maximum();
  const int u = LeftMargin();
  const int w = kPlotRight - u;
  const bool flat = high == low;
  auto x_of = [&](int k) {
    return u + static_cast<int>(Truncate(k * static_cast<double>(w) / (n - 1)));
  };
  auto y_of = [&](double v) {
    if (flat) return kPlotBottom;
    return kPlotBottom - static_cast<int>(Truncate((v - low) * 80 / (high - low)));
  };
  CChartCanvas& c = *canvas;
  auto line = [&](int x0, int y0, int x1, int y1) {
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
  };

  // The white card and its shadow on the right and at the bottom.
  c.SelectPen(kBlack, PenStyle::kSolid);
  c.Rectangle(0, 0, 441, 148, kWhite);
  c.MoveTo(2, 149);
  c.LineTo(442, 149);
  c.LineTo(442, 2);
  c.SetPixel(0, 149, kWhite);
  c.SetPixel(1, 149, kWhite);
  c.SetPixel(442, 0, kWhite);
  c.SetPixel(442, 1, kWhite);

  c.SelectPen(kGrid, PenStyle::kDot);
  for (int y = 95; y >= 15; y -= 20) line(u + 3, y, kPlotRight, y);

  for (int k = 0; k < n; ++k) {
    if (k < n - 1) {
      const int label_x = static_cast<int>(Truncate(u + k * static_cast<double>(w) / (n - 1) +
                                                    static_cast<double>(w) / (2.0 * (n - 1))));
      if (n < 18) {
        c.DrawText(label_x, 100, series1_[k].label, kChartFace, 12, kScaleText, kWhite,
                   TextAlign::kCenter);
      } else {
        c.DrawText(label_x, 100, series1_[k].label, kChartFace, 10,
                   k % 2 == 0 ? Rgb{0, 0, 64} : kBlack, kWhite, TextAlign::kCenter);
      }
    }
    c.SelectPen(series1_[k].start_of_period ? kStartOfPeriod : kGrid, PenStyle::kDot);
    line(x_of(k), 92, x_of(k), 15);
  }

  c.SelectPen(kBlack, PenStyle::kSolid);
  line(u, kPlotBottom, kPlotRight, kPlotBottom);
  line(u, kPlotTop, kPlotRight, kPlotTop);

  c.SelectPen(kSeries1, PenStyle::kDot);
  for (int k = 0; k < n; ++k) {
    if (!series1_[k].start_of_period) line(x_of(k), y_of(series1_[k].value), x_of(k), kPlotBottom);
  }
  if (two_series_) {
    c.SelectPen(kSeries2, PenStyle::kDot);
    for (int k = 0; k < n; ++k) {
      if (series1_[k].start_of_period) continue;
      const int y1 = y_of(series1_[k].value);
      const int y2 = y_of(series2_[k].value);
      line(x_of(k), y2, x_of(k), y1 >= y2 ? y1 : kPlotBottom);
    }
  }

  c.SelectPen(kSeries1, PenStyle::kSolid);
  c.MoveTo(x_of(0), y_of(series1_[0].value));
  for (int k = 1; k < n; ++k) c.LineTo(x_of(k), y_of(series1_[k].value));
  if (two_series_) {
    c.SelectPen(kSeries2, PenStyle::kSolid);
    c.MoveTo(x_of(0), y_of(series2_[0].value));
    for (int k = 1; k < n; ++k) c.LineTo(x_of(k), y_of(series2_[k].value));
  }

  c.SelectPen(kBlack, PenStyle::kSolid);
  for (int k = 0; k < n; ++k) line(x_of(k), 93, x_of(k), 98);

  for (int k = 0; k <= 4; ++k) {
    const int y = kPlotBottom - 20 * k;
    if (!flat || k == 2) {
      const double tick = low + (high - low) * k / 4;
      c.DrawText(u - 6, y - 7, FormatChartNumber(tick, number_format_), kChartFace, 12, kScaleText,
                 kWhite, TextAlign::kRight);
    }
    c.SelectPen(kBlack, PenStyle::kSolid);
    line(u - 2, y, u + 3, y);
  }

  line(u, kPlotBottom, u, kPlotTop);
  line(kPlotRight, kPlotTop, kPlotRight, kPlotBottom);

  c.DrawText(5, 57, title_, kChartFace, 14, kTitle, kWhite, TextAlign::kCenter, true);

  const char* kTotal = "total:  ";
  const char* kAverage = "average:  ";
  if (!two_series_) {
    const int a = w / 4 + 35;
    const int x = u + 2 * a - 60;
    c.DrawText(x, 115, kTotal, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(x, 115, total1_, kChartFace, 12, kSeries1, kWhite, TextAlign::kLeft);
    c.DrawText(x, 128, kAverage, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(x, 128, average1_, kChartFace, 12, kSeries1, kWhite, TextAlign::kLeft);
  } else {
    const int h = w / 2;
    c.SelectPen(kSeries1, PenStyle::kSolid, 2);
    line(u + 20, 120, u + 40, 120);
    c.SetPixel(u + 20, 119, kSeries1);
    c.DrawText(u + 45, 112, label1_, kChartFace, 14, kBlack, kWhite, TextAlign::kLeft);
    c.DrawText(42, 128, kTotal, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(42, 128, total1_, kChartFace, 12, kSeries1, kWhite, TextAlign::kLeft);
    c.DrawText(163, 128, kAverage, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(163, 128, average1_, kChartFace, 12, kSeries1, kWhite, TextAlign::kLeft);

    c.SelectPen(kSeries2, PenStyle::kSolid, 2);
    line(u + h + 30, 120, u + h + 50, 120);
    c.SetPixel(u + h + 30, 119, kSeries2);
    c.DrawText(u + h + 55, 112, label2_, kChartFace, 14, kBlack, kWhite, TextAlign::kLeft);
    c.DrawText(h + 87, 128, kTotal, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(h + 87, 128, total2_, kChartFace, 12, kSeries2, kWhite, TextAlign::kLeft);
    c.DrawText(h + 208, 128, kAverage, kChartFace, 12, kBlack, kWhite, TextAlign::kRight);
    c.DrawText(h + 208, 128, average2_, kChartFace, 12, kSeries2, kWhite, TextAlign::kLeft);
  }

  c.SelectPen(kArrow, PenStyle::kSolid);
  for (auto [x, y] : {std::pair{429, 95}, {430, 95}, {431, 95}, {430, 96}, {429, 94}, {429, 96}}) {
    c.SetPixel(x, y, kArrow);
  }
  c.MoveTo(428, 92);
  c.LineTo(428, 98);
  c.LineTo(432, 95);
  c.LineTo(428, 92);
}

bool CStatChart::DrawAndSave(const std::string& path, std::string* error, std::string* unsaved_png,
                             FileEnv* env) {
  CChartCanvas canvas;
  if (!canvas.Create(kChartWidth, kChartHeight)) {
    if (error) *error = "cannot create the chart surface";
    return false;
  }
  Draw(&canvas);
  if (canvas.SaveAsPng(path, error, env)) return true;
  if (unsaved_png != nullptr) canvas.PngBytes(unsaved_png);
  return false;
}

}  // namespace tellwen::query
