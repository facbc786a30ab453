// Test support: the whole content of a file as bytes, and whether a path
// names anything.
//
// Thread safety: callable from any thread.
#pragma once

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tellwen::testing {

// The file's bytes; "" when it cannot be read.
inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether something (a file, a folder) is at path.
inline bool PathExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace tellwen::testing
