#include "query/ping_page.h"

#include "base/int_text.h"
#include "common/sql_text.h"
#include "platform/net/host_address.h"
#include "query/access.h"
#include "query/capped_slot.h"
#include "query/file_sender.h"
#include "query/text_utils.h"

namespace tellwen::query {

namespace {

std::atomic<size_t> running_pings{0};

}  // namespace

int PingTimeoutMs(const std::string& setting) {
  const int value = IsDigits(setting) ? LeadingInt(setting) : 0;
  return value >= 50 && value <= 10000 ? value : 1000;
}

std::string PingTargetName(const std::string& path) {
  std::string name = path;
  if (name.compare(0, 2, "//") == 0 || name.compare(0, 2, "\\\\") == 0) name = name.substr(2);
  if (name.empty() || name.size() > 255) return std::string();
  for (unsigned char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_' || c == '.';
    if (!ok) return std::string();
  }
  return name;
}

std::string StatPingStatement(const std::string& now, const std::string& remote_addr, bool alive,
                              const std::string& computer) {
  return "insert stat_ping values ('" + SqlQuoted(now) + "', '" + SqlQuoted(remote_addr) + "', " +
         (alive ? "1" : "2") + ", '" + SqlQuoted(computer) + "')";
}

void PingRequest(CHttpServerContext* ctx, const std::string& path, net::EchoService& echo,
                 const SiteSettings& site, SqlSession& sql, Clock& clock, RequestReports& reports) {
  std::string folder;
  if (!ExtensionFolderOrAnswer(ctx, &folder)) return;
  const CappedSlot slot(running_pings, kMaxPings);
  if (!slot.taken()) {
    reports.Detail("ping: refused, " + std::to_string(kMaxPings) + " running");
    WriteAnswerPage(ctx, kPingsBusyText, "503 Service Unavailable", "Retry-After: 5\r\n");
    return;
  }
  const int timeout = PingTimeoutMs(site.ping_timeout);
  const std::string name = PingTargetName(path);
  uint32_t address = 0;
  bool alive = false;
  // Only a valid name that resolves within the ping's timeout is pinged; an
  // echo of a name that does not resolve would go to address 0, which is the
  // local host.
  if (!name.empty() && net::ResolveIPv4(name, &address, timeout)) {
    alive = echo.Echo(net::AddressText(address), timeout).status == net::EchoStatus::kAlive;
  } else {
    address = 0;
  }
  SendFile(ctx, folder + (alive ? "pingyes.gif" : "pingno.gif"), "Content-Type: image/gif");

  const std::string remote = ctx->GetServerVariable("REMOTE_ADDR");
  reports.Short(PadLeft(remote, 16) + " ping  [" + LogSafe(path) +
                "]:  " + (alive ? "alive" : "dead") + "  (ip: " + net::AddressText(address) + ")");
  if (site.log_statistics) {
    const SqlResult result =
        sql.Run(StatPingStatement(SqlNow(clock), remote, alive, path.substr(0, 255)), 0,
                SqlCaller::kQueryStatementRunner);
    if (result.error) {
      reports.Detail("unexpected error [SQLQuery]: " + result.description +
                     " src:" + result.source);
    }
  }
}

}  // namespace tellwen::query
