#include "query/charts/palette_image.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace tellwen::query {

namespace {

// Blue levels of the six 36-entry blocks, in block order.
constexpr uint8_t kBlueOfBlock[6] = {0, 153, 102, 255, 51, 204};
constexpr uint8_t kLevel[6] = {0, 51, 102, 153, 204, 255};

// What the libpng callbacks share with WritePng; plain data, so that the
// long jump out of libpng skips no destructor.
struct PngErrorState {
  char message[256];
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message ? message : "png error");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The libpng part of WritePng: plain C data only between setjmp and the long
// jump. rows[i] is the i-th row from the top.
bool WritePngRows(std::FILE* file, int width, int height, const png_color* palette,
                  png_bytep const* rows, PngErrorState* state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(state->message, sizeof state->message, "cannot create the png writer");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(state->message, sizeof state->message, "cannot create the png header");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, palette, CPaletteImage::kPaletteSize);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, rows[y]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0) {
    std::snprintf(state->message, sizeof state->message, "write failed: %s", std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace

bool CPaletteImage::Create(int width, int height, int bits_per_pixel) {
  if (width < 1 || height < 1 || bits_per_pixel != 8) return false;
  width_ = width;
  height_ = height;
  palette_.fill(Rgb{});
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  nearest_cache_.clear();
  return true;
}

void CPaletteImage::SetChartPalette() {
  for (int b = 0; b < 6; ++b) {
    for (int r = 0; r < 6; ++r) {
      for (int g = 0; g < 6; ++g) {
        SetPaletteEntry(36 * b + 6 * r + g, kLevel[r], kLevel[g], kBlueOfBlock[b]);
      }
    }
  }
  SetPaletteEntry(0, 255, 255, 255);
  for (int i = 216; i < kPaletteSize; ++i) SetPaletteEntry(i, 255, 255, 255);
}

void CPaletteImage::SetPaletteEntry(int index, uint8_t red, uint8_t green, uint8_t blue) {
  palette_[index] = Rgb{red, green, blue};
  nearest_cache_.clear();
}

int CPaletteImage::NearestIndex(Rgb colour) const {
  const uint32_t key = (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
  if (auto found = nearest_cache_.find(key); found != nearest_cache_.end()) return found->second;
  long best_distance = 200000;
  int best = 255;
  for (int i = 0; i < kPaletteSize; ++i) {
    const long dr = long{colour.red} - palette_[i].red;
    const long dg = long{colour.green} - palette_[i].green;
    const long db = long{colour.blue} - palette_[i].blue;
    const long distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  nearest_cache_.emplace(key, static_cast<uint8_t>(best));
  return best;
}

void CPaletteImage::SetPixelByColor(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const size_t row = static_cast<size_t>(height_ - 1 - y);
  pixels_[row * width_ + x] = static_cast<uint8_t>(NearestIndex(Rgb{red, green, blue}));
}

int CPaletteImage::PixelIndex(int x, int y) const {
  const size_t row = static_cast<size_t>(height_ - 1 - y);
  return pixels_[row * width_ + x];
}

bool CPaletteImage::WritePng(std::FILE* file, std::string* error) const {
  if (width_ < 1 || file == nullptr) {
    if (error) *error = width_ < 1 ? "the image was not created" : "no file to write";
    return false;
  }
  png_color palette[kPaletteSize];
  for (int i = 0; i < kPaletteSize; ++i) {
    palette[i] = png_color{palette_[i].red, palette_[i].green, palette_[i].blue};
  }
  // The stored rows run bottom-up; the PNG runs from the top.
  std::vector<png_bytep> rows(height_);
  for (int y = 0; y < height_; ++y) {
    rows[y] = const_cast<png_bytep>(pixels_.data() + static_cast<size_t>(height_ - 1 - y) * width_);
  }
  PngErrorState state{};
  if (!WritePngRows(file, width_, height_, palette, rows.data(), &state)) {
    if (error) *error = state.message;
    return false;
  }
  return true;
}

}  // namespace tellwen::query
