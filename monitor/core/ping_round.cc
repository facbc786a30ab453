#include "monitor/core/ping_round.h"

#include <cstdio>

#include "base/time_text.h"
#include "common/sql_text.h"

namespace tellwen::monitor {

std::string BuildRewriteBatch(const std::vector<ComputerRecord>& records) {
  std::string batch = "begin transaction delete from monitor_pings ";
  for (const ComputerRecord& record : records) {
    batch += "insert into monitor_pings(name, status, ping_time) values('" +
             SqlQuoted(record.name) + "', '" + SqlQuoted(record.status) + "', '" +
             SqlQuoted(record.ping_time) + "') ";
  }
  batch += "commit transaction";
  return batch;
}

std::string HostOf(const std::string& catalog_name) {
  return catalog_name.rfind("//", 0) == 0 ? catalog_name.substr(2) : catalog_name;
}

std::string PingTimeText(const std::tm& local) {
  return FormatTime(local, "%Y, %m, %d, %H, %M, %S");
}

std::string RoundTimeText(uint64_t elapsed_ms) {
  const uint64_t seconds = elapsed_ms / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                static_cast<unsigned long long>(seconds / 3600),
                static_cast<unsigned long long>(seconds / 60 % 60),
                static_cast<unsigned long long>(seconds % 60));
  return text;
}

}  // namespace tellwen::monitor
