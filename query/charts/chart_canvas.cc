#include "query/charts/chart_canvas.h"

#include <cairo.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/atomic_file.h"

namespace tellwen::query {

namespace {

void SetSource(cairo_t* cr, Rgb colour) {
  cairo_set_source_rgb(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
}

}  // namespace

CChartCanvas::CChartCanvas() = default;

CChartCanvas::~CChartCanvas() {
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

bool CChartCanvas::Create(int width, int height) {
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  cr_ = nullptr;
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    return false;
  }
  cr_ = cairo_create(surface_);
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) return false;
  width_ = width;
  height_ = height;
  // Shapes are drawn pixel-exact: every pixel is covered or not.
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  SetSource(cr_, Rgb{0, 0, 0});
  cairo_paint(cr_);
  if (!image_.Create(width, height, 8)) return false;
  image_.SetChartPalette();
  return true;
}

void CChartCanvas::SelectPen(Rgb colour, PenStyle style, int width) {
  pen_colour_ = colour;
  pen_style_ = style;
  pen_width_ = width < 1 ? 1 : width;
}

void CChartCanvas::MoveTo(int x, int y) {
  current_x_ = x;
  current_y_ = y;
}

void CChartCanvas::PlotPenPixel(int x, int y, bool x_major) {
  // A wide pen widens the line across its main direction only, so that it
  // starts and ends where a thin line would.
  const int offset = pen_width_ / 2;
  if (x_major) {
    cairo_rectangle(cr_, x, y - offset, 1, pen_width_);
  } else {
    cairo_rectangle(cr_, x - offset, y, pen_width_, 1);
  }
}

void CChartCanvas::LineTo(int x, int y) {
  if (cr_ == nullptr) return;
  // Bresenham from the current position; the end point is not drawn, so a
  // chain of lines draws every joint once.
  int x0 = current_x_;
  int y0 = current_y_;
  const int dx = std::abs(x - x0);
  const int dy = -std::abs(y - y0);
  const int step_x = x0 < x ? 1 : -1;
  const int step_y = y0 < y ? 1 : -1;
  int error = dx + dy;
  const bool x_major = dx >= -dy;
  long count = 0;
  cairo_new_path(cr_);
  while (x0 != x || y0 != y) {
    if (pen_style_ == PenStyle::kSolid || count % 2 == 0) PlotPenPixel(x0, y0, x_major);
    ++count;
    const int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      x0 += step_x;
    }
    if (doubled <= dx) {
      error += dx;
      y0 += step_y;
    }
  }
  SetSource(cr_, pen_colour_);
  cairo_fill(cr_);
  current_x_ = x;
  current_y_ = y;
}

void CChartCanvas::Rectangle(int left, int top, int right, int bottom, Rgb fill) {
  if (cr_ == nullptr || right <= left || bottom <= top) return;
  cairo_new_path(cr_);
  cairo_rectangle(cr_, left, top, right - left, bottom - top);
  SetSource(cr_, fill);
  cairo_fill(cr_);
  // The outline runs along the inner edge of the covered area.
  MoveTo(left, top);
  LineTo(right - 1, top);
  LineTo(right - 1, bottom - 1);
  LineTo(left, bottom - 1);
  LineTo(left, top);
}

void CChartCanvas::SetPixel(int x, int y, Rgb colour) {
  if (cr_ == nullptr) return;
  cairo_new_path(cr_);
  cairo_rectangle(cr_, x, y, 1, 1);
  SetSource(cr_, colour);
  cairo_fill(cr_);
}

Rgb CChartCanvas::GetPixel(int x, int y) const {
  if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return Rgb{};
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  uint32_t value;
  std::memcpy(&value, data + static_cast<size_t>(y) * stride + 4 * static_cast<size_t>(x), 4);
  return Rgb{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value)};
}

void CChartCanvas::DrawText(int x, int y, const std::string& text, const std::string& face,
                            int height, Rgb text_colour, Rgb background, TextAlign align,
                            bool vertical) {
  if (cr_ == nullptr || height < 1) return;
  cairo_save(cr_);
  cairo_select_font_face(cr_, face.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(cr_, options);
  cairo_font_options_destroy(options);

  // The height asked for is the whole cell, ascent plus descent, so the em
  // size follows from the face's own proportions.
  cairo_set_font_size(cr_, 100.0);
  cairo_font_extents_t unit{};
  cairo_font_extents(cr_, &unit);
  const double cell = unit.ascent + unit.descent;
  cairo_set_font_size(cr_, cell > 0 ? height * 100.0 / cell : height);
  cairo_font_extents_t font{};
  cairo_font_extents(cr_, &font);
  cairo_text_extents_t extents{};
  cairo_text_extents(cr_, text.c_str(), &extents);
  const int advance = static_cast<int>(std::lround(extents.x_advance));

  int start = 0;  // along the text's own direction, from the reference point
  if (align == TextAlign::kRight) start = -advance;
  if (align == TextAlign::kCenter) start = -advance / 2;

  cairo_translate(cr_, x, y);
  if (vertical) cairo_rotate(cr_, -M_PI / 2);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, start, 0, advance, height);
  SetSource(cr_, background);
  cairo_fill(cr_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
  // Nothing leaves the box, as with an opaque text cell.
  cairo_rectangle(cr_, start, 0, advance, height);
  cairo_clip(cr_);
  cairo_move_to(cr_, start, std::round(font.ascent));
  SetSource(cr_, text_colour);
  cairo_show_text(cr_, text.c_str());
  cairo_restore(cr_);
}

void CChartCanvas::Quantise() {
  if (surface_ == nullptr) return;
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int y = 0; y < height_; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width_; ++x) {
      uint32_t value;
      std::memcpy(&value, row + 4 * static_cast<size_t>(x), 4);
      image_.SetPixelByColor(x, y, static_cast<uint8_t>(value >> 16),
                             static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value));
    }
  }
}

bool CChartCanvas::PngBytes(std::string* png) const {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* memory = ::open_memstream(&data, &size);
  if (memory == nullptr) return false;
  std::string png_error;
  const bool written = image_.WritePng(memory, &png_error);
  const bool closed = std::fclose(memory) == 0;
  if (written && closed) png->assign(data, size);
  std::free(data);
  return written && closed;
}

bool CChartCanvas::SaveAsPng(const std::string& path, std::string* error, FileEnv* env) {
  if (surface_ == nullptr) {
    if (error) *error = "the canvas was not created";
    return false;
  }
  Quantise();
  // Readers look for the final name without taking any lock, so the name
  // must never show a half-written file.
  std::string png;
  if (!PngBytes(&png)) {
    if (error) *error = "cannot write " + path + ": the image could not be encoded";
    return false;
  }
  AtomicWriteOptions options;
  options.env = env;
  AtomicFile file;
  if (const int failed = file.Open(path, options); failed != 0) {
    if (error) *error = "cannot create " + path + ": " + std::strerror(failed);
    return false;
  }
  int failed = file.file().Append(png);
  if (failed == 0) failed = file.Commit();
  if (failed != 0) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(failed);
    return false;
  }
  return true;
}

}  // namespace tellwen::query
