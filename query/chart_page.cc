#include "query/chart_page.h"

#include "common/deep_stack.h"
#include "query/charts/chart_cache.h"
#include "query/charts/chart_request.h"
#include "query/file_sender.h"
#include "query/text_utils.h"

namespace tellwen::query {

void ChartRequest(CHttpServerContext* ctx, const std::string& path, const std::string& t,
                  SqlSession& sql, Clock& clock, RequestReports& reports) {
  std::string folder;
  if (!ExtensionFolderOrAnswer(ctx, &folder)) return;
  // Drawing runs the chart statement in the embedded SQL server and cairo's
  // text layout: both want a deeper stack than a request thread may have.
  ChartFile file;
  RunOnDeepStack([&] { file = GetChartFile(path, t, folder, sql, clock); });
  if (!file.ok() && !file.error.empty()) reports.Detail("chart: " + file.error);
  SendFile(ctx, file.path, "Content-Type: image/png");
  reports.Short(PadLeft(ctx->GetServerVariable("REMOTE_ADDR"), 16) + ChartReportText(path, t));
}

}  // namespace tellwen::query
