// CPaletteImage: an 8-bit palette picture, the form in which a chart is
// written to disk.
//
// It holds width x height palette indexes (one byte per pixel, rows stored
// bottom-up, as a device-independent bitmap keeps them) and a palette of 256
// colour entries. Colours are stored by the nearest-colour rule of the chart
// palette; WritePng writes an 8-bit palette PNG holding exactly the header,
// the palette, the image data and the end chunk.
//
// Thread safety: an object belongs to one thread; distinct objects share
// nothing.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace tellwen::query {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

class CPaletteImage {
 public:
  static constexpr int kPaletteSize = 256;

  // Sizes the image (all pixels index 0) with an all-black palette. Only 8
  // bits per pixel exist; false for any other depth or a size below 1.
  bool Create(int width, int height, int bits_per_pixel = 8);

  // The chart palette: entries 0 to 215 are the 216 colours whose red, green
  // and blue take one of 0, 51, 102, 153, 204, 255; entry 36 * b + 6 * r + g
  // has red level r, green level g and the blue level of block b, the blocks
  // in the order 0, 153, 102, 255, 51, 204. Entry 0 is then white, and
  // entries 216 to 255 are white, so pure black maps to RGB(0, 51, 0).
  void SetChartPalette();

  // REQUIRES: 0 <= index < 256.
  void SetPaletteEntry(int index, uint8_t red, uint8_t green, uint8_t blue);
  Rgb PaletteEntry(int index) const { return palette_[index]; }

  // The index of the palette entry nearest to the colour by squared distance
  // over red, green and blue: the search starts from a best distance of
  // 200000 and the index 255, ends at an exact match, and keeps the lower
  // index on equal distances.
  int NearestIndex(Rgb colour) const;

  // Stores the nearest index for the pixel; (0, 0) is the top left corner.
  // Coordinates outside the image are ignored.
  void SetPixelByColor(int x, int y, uint8_t red, uint8_t green, uint8_t blue);

  // REQUIRES: the pixel lies inside the image.
  int PixelIndex(int x, int y) const;

  // Writes the image as PNG to a file open for binary writing: 8-bit
  // palette colour type, no interlacing, default compression and filters, a
  // PLTE of all 256 entries, rows from the top, the end chunk; nothing else.
  // The file stays open. False (with *error filled) when libpng reports an
  // error; the bytes written until then stay in the file.
  bool WritePng(std::FILE* file, std::string* error) const;

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::array<Rgb, kPaletteSize> palette_{};
  std::vector<uint8_t> pixels_;  // bottom-up rows of width_ bytes
  // Colours already looked up since the palette last changed; charts hold
  // few distinct colours, so this spares the 256-entry search per pixel.
  mutable std::unordered_map<uint32_t, uint8_t> nearest_cache_;
};

}  // namespace tellwen::query
