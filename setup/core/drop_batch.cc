#include "setup/core/drop_batch.h"

namespace tellwen::setup {

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
  for (const char* name : kTables) {
    batch += " if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[";
    batch += name;
    batch += "]') and OBJECTPROPERTY(id, N'IsUserTable') = 1) drop table [dbo].[";
    batch += name;
    batch += "] ";
  }
  for (const char* name : kProcedures) {
    batch += " if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[";
    batch += name;
    batch += "]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)  drop procedure [dbo].[";
    batch += name;
    batch += "] ";
  }
  return batch;
}

}  // namespace tellwen::setup
