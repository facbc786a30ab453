// The lines of the index file and of the output file, built from an entry's
// path ("\\PC1\music\rock\a.mp3") and size.
//
// Index file line: computer ("//PC1"), share, parent folder, folder, file
// name and size, separated by TABs, every "\" turned into "/". Output file
// line: the path, optionally cut into share / folders / file by TABs, with
// the size appended on request. Neither line carries its line end; the
// writer adds CR LF.
//
// Names come from the network and may hold any bytes. A TAB, CR or LF inside
// a name would break the line into wrong fields or lines, so each of them is
// written as "?" (a character no network name can hold), and so is every
// byte that is not part of valid UTF-8; every other character is written as
// it is. The entry keeps its real name; only the written text changes.
//
// Thread safety: pure functions.
#pragma once

#include <cstdint>
#include <string>

namespace tellwen::indexer {

struct IndexFields {
  std::string computer;       // "//PC1"
  std::string share;          // "music"
  std::string parent_folder;  // "rock" for \\PC1\music\rock\old\a.mp3
  std::string folder;         // "old"
  std::string file_name;      // "a.mp3" or "*"
};

// Splits a path (backslashes or slashes) into the index file's fields.
IndexFields SplitIndexPath(const std::string& path);

// `text` with TAB, CR, LF and invalid UTF-8 bytes written as "?".
std::string CleanText(const std::string& text);

// The six TAB-separated fields of the index file.
std::string IndexLine(const std::string& path, uint32_t size);

struct OutputLayout {
  bool unix_style = false;                 // "/" instead of "\"
  bool split_share_and_directory = false;  // TAB after the share part
  bool split_directory_and_file = false;   // TAB before the file name
  bool dump_size = false;                  // TAB and size at the end
};

std::string OutputLine(const std::string& path, uint32_t size, const OutputLayout& layout);

}  // namespace tellwen::indexer
