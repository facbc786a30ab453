// Test support: a PNG file read back with libpng, with the names of its
// chunks in file order, so that tests check what was really written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "query/charts/palette_image.h"

namespace tellwen::testing {

struct DecodedPng {
  bool ok = false;
  std::string error;
  int width = 0;
  int height = 0;
  int bit_depth = 0;
  int color_type = -1;
  int interlace = -1;
  std::vector<query::Rgb> palette;
  std::vector<std::string> chunks;  // chunk types in file order
  std::vector<uint8_t> indexes;     // one palette index per pixel, rows from the top

  int Index(int x, int y) const { return indexes[static_cast<size_t>(y) * width + x]; }
  query::Rgb Colour(int x, int y) const { return palette[Index(x, y)]; }
};

// Reads an 8-bit palette PNG; other kinds come back with ok false.
DecodedPng ReadPng(const std::string& path);

}  // namespace tellwen::testing
