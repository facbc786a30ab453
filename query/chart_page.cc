#include "query/chart_page.h"

#include "base/deep_stack.h"
#include "query/charts/chart_cache.h"
#include "query/charts/chart_request.h"
#include "query/failure_run.h"
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
  // A chart drawn but not written (a full disk) is sent all the same, and
  // the run of such failures reported once.
  static FailureRun cache_failures;
  const bool unsaved = !file.ok() && !file.png.empty();
  if (unsaved || file.drawn) {
    const std::string notice = cache_failures.Note(unsaved, "the chart cache's files", file.error);
    if (!notice.empty()) reports.Notice(notice);
  }
  if (!file.ok() && file.png.empty() && !file.error.empty()) reports.Detail("chart: " + file.error);
  if (!file.ok() && !file.png.empty()) {
    ctx->SendResponseHeader("200 OK", "Content-Type: image/png\r\nContent-Length: " +
                                          std::to_string(file.png.size()) + "\r\n");
    ctx->WriteClient(file.png);
  } else {
    SendFile(ctx, file.path, "Content-Type: image/png");
  }
  reports.Short(PadLeft(ctx->GetServerVariable("REMOTE_ADDR"), 16) + ChartReportText(path, t));
}

}  // namespace tellwen::query
