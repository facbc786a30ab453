// CChartCanvas: the drawing surface of one chart and the palette picture it
// is saved through.
//
// The surface is a true-colour image drawn with cairo. It offers the drawing
// operations the charts are written in, with the coordinate rules of a
// display context: x to the right, y downward, origin top left; lines from
// the current position to a point leave the end point out; rectangles leave
// their right and bottom edge out; pens are solid or dotted (one pixel on,
// one off, counted from each line's first pixel) and lines are drawn without
// antialiasing, so every pixel is one colour. Text is antialiased, drawn on
// an opaque box of its background colour whose height is the text height and
// whose width is the text's advance.
//
// SaveAsPng copies every pixel into the CPaletteImage by the nearest-colour
// rule and writes it as PNG.
//
// Thread safety: an object belongs to the thread that created it.
#pragma once

#include <memory>
#include <string>

#include "base/file_env.h"
#include "query/charts/palette_image.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace tellwen::query {

enum class PenStyle { kSolid, kDot };
enum class TextAlign { kLeft, kRight, kCenter };

class CChartCanvas {
 public:
  CChartCanvas();
  ~CChartCanvas();
  CChartCanvas(const CChartCanvas&) = delete;
  CChartCanvas& operator=(const CChartCanvas&) = delete;

  // A black surface of the size and a palette image of the same size with
  // the chart palette. False when the surface cannot be made.
  bool Create(int width, int height);

  // The pen of the following lines and rectangle outlines (width in pixels).
  void SelectPen(Rgb colour, PenStyle style, int width = 1);
  void MoveTo(int x, int y);
  // A line from the current position to (x, y), the end point left out; the
  // end point becomes the current position.
  void LineTo(int x, int y);
  // Outline with the current pen, filled with `fill`; covers left .. right-1
  // and top .. bottom-1.
  void Rectangle(int left, int top, int right, int bottom, Rgb fill);
  void SetPixel(int x, int y, Rgb colour);
  // The surface's colour at a pixel (black outside the surface).
  Rgb GetPixel(int x, int y) const;

  // Text at (x, y), y being the top of the text; height is the full text
  // height in pixels (ascent plus descent). A vertical text is turned 90
  // degrees counter-clockwise about (x, y) and reads upward; alignment then
  // applies along the text's own direction. The face is found through
  // fontconfig, which supplies the closest available face when the named
  // one is missing.
  void DrawText(int x, int y, const std::string& text, const std::string& face, int height,
                Rgb text_colour, Rgb background, TextAlign align, bool vertical = false);

  // Quantises the surface into the palette image and writes it to the path.
  // The file appears under its name only when complete: it is written beside
  // it under a temporary name and renamed over it (WriteFileAtomically,
  // through env; null: the real file system). False with *error filled when
  // the file cannot be written.
  bool SaveAsPng(const std::string& path, std::string* error, FileEnv* env = nullptr);

  // The palette image as of the last SaveAsPng (or Quantise) as PNG bytes,
  // for a chart whose file cannot be written. False when libpng fails.
  bool PngBytes(std::string* png) const;

  // The palette image as of the last SaveAsPng (or quantise).
  const CPaletteImage& image() const { return image_; }
  // Copies the surface into the palette image without writing it.
  void Quantise();

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  void PlotPenPixel(int x, int y, bool x_major);

  int width_ = 0;
  int height_ = 0;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  CPaletteImage image_;
  Rgb pen_colour_{};
  PenStyle pen_style_ = PenStyle::kSolid;
  int pen_width_ = 1;
  int current_x_ = 0;
  int current_y_ = 0;
};

}  // namespace tellwen::query
