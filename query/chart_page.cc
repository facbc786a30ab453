#include "query/chart_page.h"

#include "common/deep_stack.h"
#include "query/charts/chart_request.h"
#include "query/file_sender.h"
#include "query/text_utils.h"

namespace tellwen::query {

void ChartRequest(CHttpServerContext* ctx, const std::string& path, const std::string& t,
                  const ChartServices& services, RequestReports& reports) {
  std::string folder;
  std::string url;
  if (!ExtensionFolder(ctx, &folder, &url)) {
    ctx->SendResponseHeader("200 OK", "Content-Type: text/html\r\n");
    ctx->WriteClient(
        "<html><head><title>execution results</title></head><body>"
        "Weird response from GetServerVariable: " +
        HtmlEscape(url) + "<br></body></html>");
    return;
  }
  // Drawing runs the chart statement in the embedded SQL server and cairo's
  // text layout: both want a deeper stack than a request thread may have.
  ChartFile file;
  RunOnDeepStack([&] { file = GetChartFile(path, t, folder, services); });
  if (!file.ok() && !file.error.empty()) reports.Detail("chart: " + file.error);
  SendFile(ctx, file.path, "Content-Type: image/png");
  reports.Short(PadLeft(ctx->GetServerVariable("REMOTE_ADDR"), 16) + ChartReportText(path, t));
}

}  // namespace tellwen::query
