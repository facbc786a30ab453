#include "setup/core/drop_batch.h"

#include <cstddef>

namespace tellwen::setup {
namespace {

// Appends " if exists (...) <drop> [dbo].[name] " for every name: the drop
// runs only when an object of that name has the OBJECTPROPERTY `kind`.
template <std::size_t N>
void AppendDrops(const char* const (&names)[N], const char* kind, const char* drop,
                 std::string* batch) {
  for (const char* name : names) {
    batch->append(" if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[");
    batch->append(name).append("]') and OBJECTPROPERTY(id, N'").append(kind).append("') = 1) ");
    batch->append(drop).append(" [dbo].[").append(name).append("] ");
  }
}

}  // namespace

std::string BuildDropBatch() {
  static const char* const kTables[] = {
      "monitor_pings",      "quick_links",       "stat_access",  "stat_access_failure",
      "stat_last_queries",  "stat_ping",         "stat_searchs", "tmp1",
      "stat_categories",    "stat_filesize",     "stat_topmegi", "stat",
      "constants",          "shares1",           "aall",         "temp_stat_categories",
      "temp_stat_filesize", "temp_stat_topmegi", "temp_stat",    "temp_monitor_pings",
      "temp_constants",     "temp_shares1",      "temp_aall",    "zz"};
  static const char* const kProcedures[] = {"spStatCharts", "spSearch", "spDir",
                                            "spGetFullPathFileFromID"};
  std::string batch;
  AppendDrops(kTables, "IsUserTable", "drop table", &batch);
  // Two blanks before "drop procedure", as the batch has always been sent.
  AppendDrops(kProcedures, "IsProcedure", " drop procedure", &batch);
  return batch;
}

}  // namespace tellwen::setup
