// The computer list of a round and the texts built from it.
//
// Thread safety: pure functions on values.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tellwen::monitor {

// One computer of the round, as shares1 names it ("//" + name or address).
struct ComputerRecord {
  std::string name;
  std::string status;     // "1" answered, "2" not; empty until pinged
  std::string ping_time;  // "%Y, %m, %d, %H, %M, %S", local time
};

inline constexpr const char* kStatusAnswered = "1";
inline constexpr const char* kStatusNotAnswered = "2";

inline constexpr const char* kLoadListQuery = "select name from shares1";

// The one batch that replaces monitor_pings with the round's records, in
// list order, inside one transaction; single quotes of the texts doubled.
std::string BuildRewriteBatch(const std::vector<ComputerRecord>& records);

// The name to ping and to show: the catalog name without its leading "//".
std::string HostOf(const std::string& catalog_name);

// "%Y, %m, %d, %H, %M, %S" of a local time.
std::string PingTimeText(const std::tm& local);

// A duration as "%H:%M:%S" (hours not limited to a day).
std::string RoundTimeText(uint64_t elapsed_ms);

}  // namespace tellwen::monitor
