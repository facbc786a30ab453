// The on-demand ping: the image answer to a ping icon's click. The computer
// named by `path` gets one ICMP echo through the given echo service; the
// answer is pingyes.gif or pingno.gif from the extension's own folder.
//
// `path` comes from the request: only a valid computer name (PingTargetName)
// reaches the resolver, and the stat_ping row holds the name with its quotes
// doubled. A name that is not valid or does not resolve is dead and nothing
// is sent.
//
// Thread safety: any thread; no lock (each echo has its own socket; the
// places under kMaxPings are counted atomically).
#pragma once

#include <cstddef>
#include <string>

#include "base/clock.h"
#include "common/sql_session.h"
#include "platform/net/icmp_echo.h"
#include "query/http_server.h"
#include "query/reports.h"
#include "query/site_settings.h"

namespace tellwen::query {

// At most this many pings run at once in the process. A ping holds a
// request thread for up to twice PingTimeout (the look-up, then the echo)
// when its computer does not answer: past the cap a ping is answered
// "503 Service Unavailable" (kPingsBusyText, "Retry-After: 5") at once, and
// the site's pages keep their request threads.
inline constexpr size_t kMaxPings = 16;
inline constexpr const char* kPingsBusyText =
    "Error: Too many pings at the moment. Please try again in a moment.";

// PingTimeout when it lies in 50..10000 ms, else 1000.
int PingTimeoutMs(const std::string& setting);

// The name to resolve for a request's `path`: one leading "//" or "\\" is
// dropped; what is left must be 1 to 255 bytes of letters, digits, "-", "_"
// and ".", else "" (not a computer name: dead without a look-up).
std::string PingTargetName(const std::string& path);

// "insert stat_ping values ('" now "', '" address "', " 1|2 ", '" computer
// "')" with every quote of the texts doubled.
std::string StatPingStatement(const std::string& now, const std::string& remote_addr, bool alive,
                              const std::string& computer);

// Runs the ping request: echo (PingTimeout of site), image answer,
// short-report line and (with GenerateLogForStatistics) the stat_ping row,
// stamped by clock and run through sql.
void PingRequest(CHttpServerContext* ctx, const std::string& path, net::EchoService& echo,
                 const SiteSettings& site, SqlSession& sql, Clock& clock, RequestReports& reports);

}  // namespace tellwen::query
