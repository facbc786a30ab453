#include "indexer/core/index_format.h"

#include "base/utf8_text.h"

namespace tellwen::indexer {

namespace {

std::string Slashed(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

}  // namespace

std::string CleanText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\t' || c == '\r' || c == '\n') {
      out.push_back('?');
      ++i;
      continue;
    }
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out;
}

IndexFields SplitIndexPath(const std::string& path) {
  const std::string p = Slashed(path);
  IndexFields f;
  size_t i1 = p.size() > 2 ? p.find('/', 2) : std::string::npos;
  if (i1 == std::string::npos) {
    f.computer = p;
    return f;
  }
  size_t i2 = p.find('/', i1 + 1);
  size_t i3 = p.rfind('/');
  std::string a = p.substr(0, i2);  // npos: the whole path
  size_t last = a.rfind('/');
  if (last == std::string::npos || last < 2) {
    f.computer = a;
  } else {
    f.computer = a.substr(0, last);
    f.share = a.substr(last + 1);
  }
  if (i2 == std::string::npos) return f;
  if (i2 < i3) {
    std::string d = p.substr(i2 + 1, i3 - i2 - 1);
    size_t cut = d.rfind('/');
    if (cut != std::string::npos) {
      f.parent_folder = d.substr(0, cut);
      f.folder = d.substr(cut + 1);
    } else {
      f.folder = d;
    }
  }
  f.file_name = p.substr(i3 + 1);
  return f;
}

std::string IndexLine(const std::string& path, uint32_t size) {
  IndexFields f = SplitIndexPath(CleanText(path));
  std::string line;
  line.reserve(path.size() + 16);
  line += f.computer;
  line += '\t';
  line += f.share;
  line += '\t';
  line += f.parent_folder;
  line += '\t';
  line += f.folder;
  line += '\t';
  line += f.file_name;
  line += '\t';
  line += std::to_string(size);
  return line;
}

std::string OutputLine(const std::string& path, uint32_t size, const OutputLayout& layout) {
  std::string p = CleanText(path);
  char separator = '\\';
  if (layout.unix_style) {
    p = Slashed(p);
    separator = '/';
  }
  // i1 ends the computer name, i2 the share name, i3 the folders.
  size_t i1 = p.size() > 2 ? p.find(separator, 2) : std::string::npos;
  size_t i2 = i1 == std::string::npos ? std::string::npos : p.find(separator, i1 + 1);
  size_t i3 = p.rfind(separator);
  std::string line;
  line.reserve(p.size() + 16);
  if (i2 == std::string::npos) {
    // No folder part: the share part is everything before the file name.
    line.append(p, 0, i3 == std::string::npos ? 0 : i3);
    line += separator;
  } else {
    line.append(p, 0, i2);
    line += separator;
  }
  if (layout.split_share_and_directory) line += '\t';
  if (i2 != std::string::npos && i2 < i3) line.append(p, i2 + 1, i3 - i2);
  if (layout.split_directory_and_file) line += '\t';
  line.append(p, i3 == std::string::npos ? 0 : i3 + 1, std::string::npos);
  if (layout.dump_size) {
    line += '\t';
    line += std::to_string(size);
  }
  return line;
}

}  // namespace tellwen::indexer
