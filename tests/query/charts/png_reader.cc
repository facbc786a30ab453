#include "tests/query/charts/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace tellwen::testing {

namespace {

std::vector<std::string> ChunkTypes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> types;
  size_t at = 8;  // past the signature
  while (at + 12 <= bytes.size()) {
    const uint32_t length = (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                            (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
    types.emplace_back(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
    at += 12 + static_cast<size_t>(length);
  }
  return types;
}

}  // namespace

DecodedPng ReadPng(const std::string& path) {
  DecodedPng out;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    out.error = "cannot open " + path;
    return out;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    out.ok = false;
    out.error = "libpng failed to read " + path;
    return out;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.bit_depth = png_get_bit_depth(png, info);
  out.color_type = png_get_color_type(png, info);
  out.interlace = png_get_interlace_type(png, info);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) & PNG_INFO_PLTE) {
    for (int i = 0; i < entries; ++i) {
      out.palette.push_back(query::Rgb{palette[i].red, palette[i].green, palette[i].blue});
    }
  }
  if (out.color_type == PNG_COLOR_TYPE_PALETTE && out.bit_depth == 8) {
    out.indexes.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
      png_read_row(png, out.indexes.data() + static_cast<size_t>(y) * out.width, nullptr);
    }
    png_read_end(png, nullptr);
    out.ok = true;
  } else {
    out.error = "not an 8-bit palette image";
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  out.chunks = ChunkTypes(path);
  return out;
}

}  // namespace tellwen::testing
