// Small text helpers shared by the server's stages.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tellwen::sqlserver {

// ASCII lower case (T-SQL keywords and names compare this way).
inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

inline bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

inline bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace tellwen::sqlserver
