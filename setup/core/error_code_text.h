// " (Error: 0x%x)." with a system or program code: the ending of setup's
// error texts.
//
// Thread safety: pure function.
#pragma once

#include <cstdio>
#include <string>

namespace tellwen::setup {

inline std::string ErrorCodeText(int code) {
  char text[40];
  std::snprintf(text, sizeof text, " (Error: 0x%x).", static_cast<unsigned>(code));
  return text;
}

}  // namespace tellwen::setup
