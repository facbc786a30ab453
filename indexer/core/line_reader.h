// LineReader: reads a text file line by line with bounded memory, whatever
// the file holds. A line ends at LF; the reader hands out the line without
// its LF, keeping at most max_kept bytes of it and counting the rest, so a
// line of gigabytes costs no more memory than a short one.
//
// Thread safety: one thread uses a reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/file_env.h"

namespace tellwen::indexer {

class LineReader {
 public:
  // REQUIRES: file outlives the reader.
  LineReader(ReadableFile* file, size_t max_kept);

  // Reads the next line. Returns false at the end of the file or on a read
  // error (error() then says which). *kept is valid until the next call;
  // *length is the line's whole length in bytes (without the LF). A last
  // line without LF is a line too.
  bool Next(std::string_view* kept, uint64_t* length);

  // The last byte of the line Next returned (before its LF), or '\0' for an
  // empty line; tells a cut line's CR end.
  char last_byte() const { return last_byte_; }

  // 0, or the errno value of the read that failed.
  int error() const { return error_; }

 private:
  bool Fill();

  ReadableFile* file_;
  size_t max_kept_;
  std::string chunk_;
  size_t chunk_begin_ = 0;
  size_t chunk_end_ = 0;
  bool at_end_ = false;
  int error_ = 0;
  std::string line_;
  char last_byte_ = '\0';
};

}  // namespace tellwen::indexer
