#include "base/time_text.h"

#include <locale.h>

#include <clocale>

namespace tellwen {

std::string FormatTime(const std::tm& when, const char* format) {
  // strftime follows LC_TIME; a C locale object keeps the names English.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  char text[256];
  const size_t length = c_locale != static_cast<locale_t>(0)
                            ? strftime_l(text, sizeof text, format, &when, c_locale)
                            : std::strftime(text, sizeof text, format, &when);
  return std::string(text, length);
}

std::string FormatLocalTime(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  return FormatTime(local, format);
}

}  // namespace tellwen
