// Charts drawn, saved and read back from the PNG file: the format and the
// pixels that the drawing fixes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "query/charts/stat_chart.h"
#include "tests/query/charts/chart_rows.h"
#include "tests/query/charts/png_reader.h"
#include "tests/support/temp_dir.h"

namespace tellwen::query {
namespace {

using ::tellwen::testing::DailyHour;
using ::tellwen::testing::DecodedPng;
using ::tellwen::testing::ReadPng;
using ::tellwen::testing::StatRows;
using ::tellwen::testing::TempDir;

// Colours as the palette holds them.
const Rgb kWhite{255, 255, 255};
const Rgb kBlack{0, 51, 0};  // black has no entry of its own
const Rgb kGrid{204, 204, 204};
const Rgb kRed{204, 0, 0};
const Rgb kBlue{0, 0, 204};
const Rgb kGreen{0, 153, 51};
const Rgb kArrow{255, 0, 0};

class ChartImage : public ::testing::Test {
 protected:
  DecodedPng Draw(int range_index, int kind, const SqlRows& rows, const std::string& name) {
    CStatChart chart(range_index);
    chart.Fill(rows, kind);
    const std::string path = dir_.path() + "/" + name;
    std::string error;
    EXPECT_TRUE(chart.DrawAndSave(path, &error)) << error;
    DecodedPng png = ReadPng(path);
    EXPECT_TRUE(png.ok) << png.error;
    if (std::getenv("TELLWEN_KEEP_CHARTS") != nullptr) {
      std::filesystem::copy_file(path, std::string(std::getenv("TELLWEN_KEEP_CHARTS")) + "/" + name,
                                 std::filesystem::copy_options::overwrite_existing);
    }
    return png;
  }
  // True when some pixel of the box (inclusive) is not white.
  static bool Inked(const DecodedPng& png, int left, int top, int right, int bottom) {
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        if (!(png.Colour(x, y) == kWhite)) return true;
      }
    }
    return false;
  }

  TempDir dir_;
};

// All zero: flat on the bottom line. Maximum "0": u = 40, w = 388; the
// point of hour 0 is index 10 at x = 40 + trunc(10 * 388 / 24) = 201.
SqlRows FlatDay() {
  return StatRows(25, DailyHour, [](int, int) { return 0; });
}

TEST_F(ChartImage, PaletteFileOfTheFixedSizeWithOnlyTheNamedChunks) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "flat.png");
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 443);
  EXPECT_EQ(png.height, 150);
  EXPECT_EQ(png.bit_depth, 8);
  EXPECT_EQ(png.color_type, 3);  // palette
  EXPECT_EQ(png.interlace, 0);
  ASSERT_EQ(png.palette.size(), 256u);
  EXPECT_EQ(png.palette[0], kWhite);
  EXPECT_EQ(png.palette[1], kBlack);
  ASSERT_GE(png.chunks.size(), 4u);
  EXPECT_EQ(png.chunks.front(), "IHDR");
  EXPECT_EQ(png.chunks[1], "PLTE");
  EXPECT_EQ(png.chunks.back(), "IEND");
  for (size_t i = 2; i + 1 < png.chunks.size(); ++i) EXPECT_EQ(png.chunks[i], "IDAT") << i;
}

TEST_F(ChartImage, WhiteCardWithAThinShadowRightAndBelow) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "card.png");
  ASSERT_TRUE(png.ok);
  // The outline of the card, 0 .. 440 by 0 .. 147.
  for (auto [x, y] : {std::pair{0, 0},
                      {440, 0},
                      {0, 147},
                      {440, 147},
                      {220, 0},
                      {0, 70},
                      {440, 70},
                      {220, 147}}) {
    EXPECT_EQ(png.Colour(x, y), kBlack) << x << "," << y;
  }
  EXPECT_EQ(png.Colour(1, 1), kWhite);
  EXPECT_EQ(png.Colour(439, 146), kWhite);
  EXPECT_EQ(png.Colour(20, 140), kWhite);
  // The shadow: the untouched black of column 441 and row 148, and the lines
  // along row 149 and column 442.
  for (auto [x, y] : {std::pair{441, 0},
                      {441, 148},
                      {0, 148},
                      {2, 149},
                      {441, 149},
                      {442, 149},
                      {442, 3},
                      {442, 2},
                      {442, 100},
                      {300, 148},
                      {300, 149}}) {
    EXPECT_EQ(png.Colour(x, y), kBlack) << x << "," << y;
  }
  // The four corners that are set back to white.
  for (auto [x, y] : {std::pair{0, 149}, {1, 149}, {442, 0}, {442, 1}}) {
    EXPECT_EQ(png.Colour(x, y), kWhite) << x << "," << y;
  }
}

TEST_F(ChartImage, DottedGridRowsAndTheFrameOfThePlot) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "grid.png");
  ASSERT_TRUE(png.ok);
  for (int y : {75, 55, 35}) {
    EXPECT_EQ(png.Colour(43, y), kGrid) << y;  // the row starts at u + 3
    EXPECT_EQ(png.Colour(44, y), kWhite) << y;
    EXPECT_EQ(png.Colour(45, y), kGrid) << y;
    EXPECT_EQ(png.Colour(427, y), kGrid) << y;
    EXPECT_EQ(png.Colour(429, y), kWhite) << y;  // the row ends at the plot's right end
  }
  // Top line solid black from u to the right end; the flat curve covers
  // the bottom line.
  for (int x : {41, 100, 300, 427}) EXPECT_EQ(png.Colour(x, 15), kBlack) << x;
  for (int x : {43, 44, 100, 300, 427}) EXPECT_EQ(png.Colour(x, 95), kBlue) << x;
  // The side lines and the scale marks from u - 2 to u + 2.
  for (int y : {16, 50, 94}) {
    EXPECT_EQ(png.Colour(40, y), kBlack) << y;
    EXPECT_EQ(png.Colour(428, y), y >= 92 ? kArrow : kBlack) << y;
  }
  for (int y : {95, 75, 55, 35, 15}) {
    EXPECT_EQ(png.Colour(38, y), kBlack) << y;
    EXPECT_EQ(png.Colour(42, y), kBlack) << y;
    EXPECT_EQ(png.Colour(37, y), kWhite) << y;
  }
  // Tick marks on the bottom line at every point, 93 to 97.
  for (int x : {40, 56, 201, 411}) {
    for (int y = 93; y <= 97; ++y) EXPECT_EQ(png.Colour(x, y), kBlack) << x << "," << y;
    EXPECT_EQ(png.Colour(x, 98), kWhite) << x;
  }
}

TEST_F(ChartImage, StartOfPeriodLineIsRedAndTheOthersGrey) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "red.png");
  ASSERT_TRUE(png.ok);
  // The point of hour 0 at x = 201; dotted from y = 92 up to 16.
  for (int y : {92, 90, 80, 60, 16}) EXPECT_EQ(png.Colour(201, y), kRed) << y;
  EXPECT_EQ(png.Colour(201, 91), kWhite);
  EXPECT_EQ(png.Colour(201, 15), kBlack);
  // Its neighbour (x = 40 + trunc(11 * 388 / 24) = 217) is grey.
  for (int y : {92, 90, 16}) EXPECT_EQ(png.Colour(217, y), kGrid) << y;
  int red_columns = 0;
  for (int x = 0; x < png.width; ++x) red_columns += png.Colour(x, 90) == kRed;
  EXPECT_EQ(red_columns, 1);
}

TEST_F(ChartImage, FlatChartShowsOnlyTheMiddleScaleFigure) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "scale.png");
  ASSERT_TRUE(png.ok);
  // Right-aligned at u - 6 = 34 and 7 pixels above each mark, 12 high.
  EXPECT_TRUE(Inked(png, 22, 48, 34, 59));
  EXPECT_FALSE(Inked(png, 22, 88, 36, 99));
  EXPECT_FALSE(Inked(png, 22, 68, 36, 79));
  EXPECT_FALSE(Inked(png, 22, 28, 36, 39));
  EXPECT_FALSE(Inked(png, 22, 8, 36, 14));
  // The totals still show: the words left of x = u + 2a - 60 = 244.
  EXPECT_TRUE(Inked(png, 200, 115, 243, 126));
  EXPECT_TRUE(Inked(png, 244, 115, 260, 126));
  EXPECT_TRUE(Inked(png, 180, 128, 243, 139));
}

TEST_F(ChartImage, ArrowAtTheEndOfTheBottomLine) {
  const DecodedPng png = Draw(0, 1, FlatDay(), "arrow.png");
  ASSERT_TRUE(png.ok);
  for (auto [x, y] : {std::pair{429, 95},
                      {430, 95},
                      {431, 95},
                      {430, 96},
                      {429, 94},
                      {429, 96},
                      {432, 95},
                      {428, 92},
                      {428, 95},
                      {428, 98}}) {
    EXPECT_EQ(png.Colour(x, y), kArrow) << x << "," << y;
  }
  EXPECT_EQ(png.Colour(433, 95), kWhite);
  EXPECT_EQ(png.Colour(428, 99), kWhite);
  EXPECT_EQ(png.Colour(428, 91), kBlack);  // the right side line above the arrow
}

// One series at 10 but the first point 0: u = 7 * 2 + 33 = 47, w = 381;
// every point from 1 on lies on the top line (y 15).
SqlRows HighDay() {
  return StatRows(25, DailyHour, [](int i, int) { return i == 0 ? 0 : 10; });
}

TEST_F(ChartImage, DropLinesSkipTheStartOfPeriod) {
  const DecodedPng png = Draw(0, 1, HighDay(), "drop.png");
  ASSERT_TRUE(png.ok);
  const int marked = 47 + 10 * 381 / 24;    // 205
  const int unmarked = 47 + 11 * 381 / 24;  // 221
  // Drop lines run dotted from the value (y 15) down: 17, 19, ... 91.
  EXPECT_EQ(png.Colour(unmarked, 91), kBlue);
  EXPECT_EQ(png.Colour(unmarked, 17), kBlue);
  EXPECT_EQ(png.Colour(unmarked, 90), kGrid);
  EXPECT_EQ(png.Colour(marked, 91), kWhite);
  EXPECT_EQ(png.Colour(marked, 17), kWhite);
  EXPECT_EQ(png.Colour(marked, 90), kRed);
  // The curve along the top.
  EXPECT_EQ(png.Colour(marked, 15), kBlue);
  EXPECT_EQ(png.Colour(300, 15), kBlue);
  // Its first segment climbs from (47, 95) to (62, 15).
  EXPECT_EQ(png.Colour(47, 94), kBlack);  // the left side line is drawn over it
  EXPECT_TRUE(png.Colour(55, 55) == kBlue || png.Colour(54, 55) == kBlue ||
              png.Colour(56, 55) == kBlue);
}

// Two series: successes 40, failures 20 (y 55), both 0 at the first point;
// u = 47, w = 381, h = 190.
SqlRows TwoSeriesDay() {
  return StatRows(
      25, DailyHour, [](int i, int column) { return i == 0        ? 0
                                                    : column == 3 ? 40
                                                                  : 20; },
      [](int column) { return column == 3 ? 960 : 480; },
      [](int column) { return column == 3 ? 4000 : 2000; });
}

TEST_F(ChartImage, TwoSeriesDrawLegendCurvesAndDropLinesInTheirColours) {
  const DecodedPng png = Draw(0, 0, TwoSeriesDay(), "pings.png");
  ASSERT_TRUE(png.ok);
  const int u = 47;
  const int h = 190;
  // Legend lines two pixels high (rows 119 and 120), 20 long.
  for (int x = u + 20; x < u + 40; ++x) {
    EXPECT_EQ(png.Colour(x, 119), kBlue) << x;
    EXPECT_EQ(png.Colour(x, 120), kBlue) << x;
  }
  for (int x = u + h + 30; x < u + h + 50; ++x) {
    EXPECT_EQ(png.Colour(x, 119), kGreen) << x;
    EXPECT_EQ(png.Colour(x, 120), kGreen) << x;
  }
  EXPECT_EQ(png.Colour(u + 20, 121), kWhite);
  // The series labels beside the legend lines.
  EXPECT_TRUE(Inked(png, u + 45, 112, u + 100, 125));
  EXPECT_TRUE(Inked(png, u + h + 55, 112, u + h + 90, 125));
  // Curves: series 1 on the top line, series 2 at y 55.
  const int x5 = u + 5 * 381 / 24;
  EXPECT_EQ(png.Colour(x5, 15), kBlue);
  EXPECT_EQ(png.Colour(x5, 55), kGreen);
  EXPECT_EQ(png.Colour(300, 55), kGreen);
  // Series 2 lies below series 1, so its drop line goes from 55 to the
  // bottom, over series 1's.
  EXPECT_EQ(png.Colour(x5, 57), kGreen);
  EXPECT_EQ(png.Colour(x5, 91), kGreen);
  EXPECT_EQ(png.Colour(x5, 17), kBlue);
  EXPECT_EQ(png.Colour(x5, 53), kBlue);
}

TEST_F(ChartImage, SeriesTwoAboveSeriesOneDropsOnlyToIt) {
  // Series 1 at 10 (y 75), series 2 at 40 (y 15), both 0 at the first point.
  const SqlRows rows = StatRows(25, DailyHour, [](int i, int column) {
    return i == 0 ? 0 : column == 9 ? 10 : 40;
  });
  const DecodedPng png = Draw(0, 4, rows, "results.png");
  ASSERT_TRUE(png.ok);
  const int x5 = 47 + 5 * 381 / 24;
  EXPECT_EQ(png.Colour(x5, 17), kGreen);
  EXPECT_EQ(png.Colour(x5, 73), kGreen);
  EXPECT_EQ(png.Colour(x5, 75), kBlue);  // the series 1 curve
  EXPECT_EQ(png.Colour(x5, 77), kBlue);  // series 1's own drop line below it
}

TEST_F(ChartImage, WeeklyAndYearlyMarkSundayAndJanuary) {
  // A week from Thursday: Sunday is index 3; u = 40, w = 388, x = 40 + 3 * 388 / 7.
  const DecodedPng week =
      Draw(1, 2,
           StatRows(
               8, [](int i) { return (4 + i) % 7; }, [](int i, int) { return i == 7 ? 7 : 0; }),
           "weekly.png");
  ASSERT_TRUE(week.ok);
  EXPECT_EQ(week.Colour(40 + 3 * 388 / 7, 90), kRed);
  EXPECT_EQ(week.Colour(40 + 4 * 388 / 7, 90), kGrid);
  // Labels between the points, 12 high, under the plot.
  EXPECT_TRUE(Inked(week, 60, 100, 100, 111));

  const DecodedPng year =
      Draw(2, 3,
           StatRows(
               13, [](int i) { return (4 + i) % 12; }, [](int i, int) { return 200 * i; }),
           "yearly.png");
  ASSERT_TRUE(year.ok);
  // Maximum 2400 s reads "40:00": u = 7 * 5 + 33 = 68, w = 360; January is index 8.
  EXPECT_EQ(year.Colour(68 + 8 * 360 / 12, 90), kRed);
  EXPECT_EQ(year.Colour(68, 60), kBlack);
}

TEST_F(ChartImage, TitleIsWrittenUpwardAtTheLeft) {
  const DecodedPng png = Draw(0, 5, TwoSeriesDay(), "title.png");
  ASSERT_TRUE(png.ok);
  // "failed accesses" centred on y 57, its top at x 5, 14 pixels across.
  EXPECT_TRUE(Inked(png, 5, 57, 19, 90));
  EXPECT_TRUE(Inked(png, 5, 20, 19, 57));
  EXPECT_FALSE(Inked(png, 1, 20, 4, 90));
  EXPECT_FALSE(Inked(png, 20, 20, 21, 90));
}

TEST_F(ChartImage, AFolderThatCannotBeWrittenLeavesNoFile) {
  CStatChart chart(0);
  chart.Fill(FlatDay(), 1);
  std::string error;
  const std::string path = dir_.path() + "/missing/kiv_chart_daily__01_x.png";
  EXPECT_FALSE(chart.DrawAndSave(path, &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ChartImage, AWriteThatFailsHalfwayLeavesNothingUnderTheName) {
  // In a child whose files may not grow past 200 bytes, the PNG breaks off
  // in its image data.
  const std::string path = dir_.path() + "/kiv_chart_daily__01_x.png";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{200, 200};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    CStatChart chart(0);
    chart.Fill(FlatDay(), 1);
    std::string error;
    const bool saved = chart.DrawAndSave(path, &error);
    ::_exit(saved ? 1 : error.find("cannot write") != std::string::npos ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));  // no temporary file either
}

}  // namespace
}  // namespace tellwen::query
