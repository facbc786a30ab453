#include "base/host_name.h"

#include <unistd.h>

namespace tellwen {

std::string LocalHostName(const std::string& fallback) {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return fallback;
  return name;
}

}  // namespace tellwen
