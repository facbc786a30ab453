// The chart palette, the nearest-colour rule and the PNG writer.
#include "query/charts/palette_image.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/query/charts/png_reader.h"
#include "tests/support/temp_dir.h"

namespace tellwen::query {
namespace {

using ::tellwen::testing::ReadPng;
using ::tellwen::testing::TempDir;

CPaletteImage ChartImage(int width = 4, int height = 3) {
  CPaletteImage image;
  EXPECT_TRUE(image.Create(width, height, 8));
  image.SetChartPalette();
  return image;
}

TEST(ChartPalette, WebColoursInBlockOrderWithWhiteAtZeroAndAtTheEnd) {
  const CPaletteImage image = ChartImage();
  EXPECT_EQ(image.PaletteEntry(0), (Rgb{255, 255, 255}));
  EXPECT_EQ(image.PaletteEntry(1), (Rgb{0, 51, 0}));
  EXPECT_EQ(image.PaletteEntry(6), (Rgb{51, 0, 0}));
  EXPECT_EQ(image.PaletteEntry(36), (Rgb{0, 0, 153}));   // block 1: blue 153
  EXPECT_EQ(image.PaletteEntry(72), (Rgb{0, 0, 102}));   // block 2: blue 102
  EXPECT_EQ(image.PaletteEntry(108), (Rgb{0, 0, 255}));  // block 3: blue 255
  EXPECT_EQ(image.PaletteEntry(144), (Rgb{0, 0, 51}));   // block 4: blue 51
  EXPECT_EQ(image.PaletteEntry(36 * 5 + 6 * 2 + 3), (Rgb{102, 153, 204}));
  EXPECT_EQ(image.PaletteEntry(215), (Rgb{255, 255, 204}));
  for (int i = 216; i < 256; ++i) EXPECT_EQ(image.PaletteEntry(i), (Rgb{255, 255, 255})) << i;
}

TEST(ChartPalette, EveryWebColourButBlackIsPresentOnce) {
  const CPaletteImage image = ChartImage();
  int found = 0;
  for (int r = 0; r < 256; r += 51) {
    for (int g = 0; g < 256; g += 51) {
      for (int b = 0; b < 256; b += 51) {
        const Rgb colour{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
        const int index = image.NearestIndex(colour);
        if (image.PaletteEntry(index) == colour) ++found;
      }
    }
  }
  EXPECT_EQ(found, 215);
}

TEST(ChartPalette, NearestColourKeepsTheLowerIndexOnATie) {
  const CPaletteImage image = ChartImage();
  // Black is 51 away from (0,51,0) at 1, (51,0,0) at 6 and (0,0,51) at 144.
  EXPECT_EQ(image.NearestIndex(Rgb{0, 0, 0}), 1);
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{0, 0, 0})), (Rgb{0, 51, 0}));
  // White matches entry 0 exactly, not the white entries at the end.
  EXPECT_EQ(image.NearestIndex(Rgb{255, 255, 255}), 0);
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{224, 224, 224})), (Rgb{204, 204, 204}));
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{224, 0, 0})), (Rgb{204, 0, 0}));
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{0, 0, 192})), (Rgb{0, 0, 204}));
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{0, 128, 64})), (Rgb{0, 153, 51}));
  EXPECT_EQ(image.PaletteEntry(image.NearestIndex(Rgb{128, 128, 160})), (Rgb{153, 153, 153}));
}

TEST(ChartPalette, AChangedEntryIsSeenByTheNextLookUp) {
  CPaletteImage image = ChartImage();
  EXPECT_EQ(image.NearestIndex(Rgb{10, 10, 10}), 1);
  image.SetPaletteEntry(200, 10, 10, 10);
  EXPECT_EQ(image.NearestIndex(Rgb{10, 10, 10}), 200);
}

TEST(ChartPalette, OnlyEightBitsAndPositiveSizes) {
  CPaletteImage image;
  EXPECT_FALSE(image.Create(4, 4, 24));
  EXPECT_FALSE(image.Create(0, 4, 8));
  EXPECT_TRUE(image.Create(1, 1, 8));
}

TEST(PaletteImagePng, RowsComeOutFromTheTop) {
  TempDir dir;
  CPaletteImage image = ChartImage(4, 3);
  image.SetPixelByColor(0, 0, 255, 0, 0);  // top left
  image.SetPixelByColor(3, 2, 0, 0, 255);  // bottom right
  image.SetPixelByColor(9, 9, 0, 0, 255);  // outside: ignored
  const std::string path = dir.path() + "/a.png";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::string error;
  ASSERT_TRUE(image.WritePng(file, &error)) << error;
  std::fclose(file);

  const auto png = ReadPng(path);
  ASSERT_TRUE(png.ok) << png.error;
  EXPECT_EQ(png.width, 4);
  EXPECT_EQ(png.height, 3);
  EXPECT_EQ(png.Colour(0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(png.Colour(3, 2), (Rgb{0, 0, 255}));
  EXPECT_EQ(png.Index(1, 1), 0);  // untouched pixels hold index 0, white
}

TEST(PaletteImagePng, AFileThatRefusesWritesIsAReportedFailure) {
  TempDir dir;
  const std::string path = dir.path() + "/r.png";
  std::fclose(std::fopen(path.c_str(), "wb"));
  std::FILE* read_only = std::fopen(path.c_str(), "rb");
  ASSERT_NE(read_only, nullptr);
  CPaletteImage image = ChartImage(64, 64);
  std::string error;
  EXPECT_FALSE(image.WritePng(read_only, &error));
  EXPECT_FALSE(error.empty());
  std::fclose(read_only);

  CPaletteImage never_created;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  EXPECT_FALSE(never_created.WritePng(file, &error));
  std::fclose(file);
}

}  // namespace
}  // namespace tellwen::query
