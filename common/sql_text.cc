#include "common/sql_text.h"

namespace tellwen {

std::string SqlQuoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

}  // namespace tellwen
