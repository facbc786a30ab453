// The chart image request: the chart folder is the physical folder of the
// extension's own URL; GetChartFile names (and when needed draws) the PNG
// file of the range `path` and kind `t`, which goes out as "image/png".
//
// Thread safety: any thread and process; generation is serialised by the
// chart cache's cross-process lock.
#pragma once

#include <string>

#include "base/clock.h"
#include "common/sql_session.h"
#include "query/http_server.h"
#include "query/reports.h"

namespace tellwen::query {

// The chart statement runs through sql; clock tells the current period.
void ChartRequest(CHttpServerContext* ctx, const std::string& path, const std::string& t,
                  SqlSession& sql, Clock& clock, RequestReports& reports);

}  // namespace tellwen::query
