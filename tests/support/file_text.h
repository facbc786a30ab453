// Test support: the whole content of a file as bytes.
//
// Thread safety: callable from any thread.
#pragma once

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

}  // namespace tellwen::testing
