#include "platform/sqlserver/connect_options.h"

#include <strings.h>

#include <cstdlib>

namespace tellwen::sqlserver {

EnvironmentOptions ReadEnvironmentOptions() {
  EnvironmentOptions options;
  const char* substring = std::getenv("TELLWEN_SQL_SUBSTRING_INDEX");
  options.substring_index_reads = substring == nullptr || strcasecmp(substring, "off") != 0;
  options.trace_statements = std::getenv("TELLWEN_SQL_TRACE") != nullptr;
  return options;
}

}  // namespace tellwen::sqlserver
