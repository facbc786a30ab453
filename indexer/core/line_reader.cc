#include "indexer/core/line_reader.h"

#include <cstring>

namespace tellwen::indexer {
namespace {
constexpr size_t kChunkBytes = 256 * 1024;
}  // namespace

LineReader::LineReader(ReadableFile* file, size_t max_kept)
    : file_(file), max_kept_(max_kept), chunk_(kChunkBytes, '\0') {}

bool LineReader::Fill() {
  if (at_end_ || error_ != 0) return false;
  size_t read = 0;
  error_ = file_->Read(chunk_.data(), chunk_.size(), &read);
  if (error_ != 0) return false;
  if (read == 0) {
    at_end_ = true;
    return false;
  }
  chunk_begin_ = 0;
  chunk_end_ = read;
  return true;
}

bool LineReader::Next(std::string_view* kept, uint64_t* length) {
  line_.clear();
  last_byte_ = '\0';
  uint64_t total = 0;
  bool any = false;
  while (true) {
    if (chunk_begin_ == chunk_end_ && !Fill()) {
      // End of file or a read error: a read error loses the line for good.
      if (error_ != 0 || !any) return false;
      break;
    }
    any = true;
    const char* begin = chunk_.data() + chunk_begin_;
    const size_t available = chunk_end_ - chunk_begin_;
    const void* lf = std::memchr(begin, '\n', available);
    const size_t take = lf ? static_cast<const char*>(lf) - begin : available;
    if (line_.size() < max_kept_) line_.append(begin, std::min(take, max_kept_ - line_.size()));
    total += take;
    if (take > 0) last_byte_ = begin[take - 1];
    chunk_begin_ += take;
    if (lf) {
      ++chunk_begin_;
      break;
    }
  }
  *kept = line_;
  *length = total;
  return true;
}

}  // namespace tellwen::indexer
