// Benchmark of the search site: kivweb with KIVQuery.so over a catalog of N
// entries (1,000,000 by default) loaded by the update job, driven by wrk at
// 32 connections. The baseline is a static file served by the same kivweb in
// the same run; each page's requests per second are printed with their
// latency percentiles and as a ratio to the baseline. Then the median time of
// one search page fetched alone against the median of the same spSearch call
// made in-process: what the web server and the extension add to the query.
//
// usage: web_bench [entries] [seconds per wrk run] [seconds per search run]
// (defaults 1000000, 10, 60; needs wrk on PATH). Search pages over a large
// catalog take seconds each at 32 connections, hence their longer runs.
// KEEP=1 keeps the work folder.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_workspace.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "indexer/core/update_headless.h"
#include "query/command_params.h"
#include "query/search.h"
#include "tests/support/http_client.h"
#include "tests/support/kivweb_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Run(const std::string& command) {  // its stdout
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// wrk's figures: requests/s and latency percentiles in milliseconds.
struct Load {
  double rps = 0;
  double p50 = 0, p90 = 0, p99 = 0;
  long requests = 0;
  std::string errors;
};

double LatencyMs(const std::string& text) {
  const double value = std::atof(text.c_str());
  if (text.find("us") != std::string::npos) return value / 1000;
  if (text.find("ms") != std::string::npos) return value;
  if (text.find('s') != std::string::npos) return value * 1000;
  return value;
}

Load RunWrk(int port, const std::string& path, int connections, int seconds) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
  const std::string output =
      Run("wrk -t2 -c" + std::to_string(connections) + " -d" + std::to_string(seconds) +
          "s --timeout 60s --latency '" + url + "' 2>&1");
  Load load;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string first, second;
    words >> first >> second;
    if (first == "Requests/sec:") load.rps = std::atof(second.c_str());
    if (first == "50%") load.p50 = LatencyMs(second);
    if (first == "90%") load.p90 = LatencyMs(second);
    if (first == "99%") load.p99 = LatencyMs(second);
    if (line.find("requests in") != std::string::npos) load.requests = std::atol(first.c_str());
    if (line.find("Socket errors") != std::string::npos ||
        line.find("Non-2xx") != std::string::npos) {
      load.errors += line + " ";
    }
  }
  if (load.rps == 0) load.errors += output;
  return load;
}

// CPU seconds the process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::atof(field.c_str());
  }
  return ticks / sysconf(_SC_CLK_TCK);
}

// wrk leaves searches running in kivweb when it stops (their clients are
// gone, the queries are not): wait until kivweb is idle again.
void WaitIdle(pid_t pid) {
  for (int i = 0; i < 600; ++i) {
    const double before = CpuSeconds(pid);
    sleep(1);
    if (CpuSeconds(pid) - before < 0.05) return;
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string FormQuery(const std::string& term) {
  return "Command?search=" + term +
         "&searchkind=any+word&recordfrom=0&recordto=199&dowait=1&dirs=on&files=on";
}

// The spSearch call the search page makes for term.
std::string SearchCall(const std::string& term, int i) {
  tellwen::query::CommandParams p;
  p.search = term;
  p.searchkind = "any word";
  p.recordfrom = "0";
  p.recordto = "199";
  p.dowait = "1";
  p.dirs = "on";
  p.files = "on";
  const tellwen::query::SearchPlan plan =
      tellwen::query::PlanSearch(term, p, tellwen::CKIVRegistry().GetValue("CategoriesEditForWeb"));
  char id[16];
  std::snprintf(id, sizeof id, "%010d", 900000 + i);
  return tellwen::query::SpSearchCall(plan, term, false, "2002-02-15 10:00:00", id);
}

}  // namespace

// The child mode: median milliseconds of count spSearch calls for term, made
// by a fresh process over the catalog of the parent's environment.
int SearchCallsMain(const std::string& term, int count) {
  std::vector<double> calls;
  for (int i = 0; i < count; ++i) {
    const std::string sql = SearchCall(term, i);
    const auto begin = Clock::now();
    tellwen::SqlResult result = tellwen::RunSql(sql, 10, tellwen::SqlCaller::kQuerySearch);
    calls.push_back(Ms(Clock::now() - begin));
    if (result.error) {
      std::fprintf(stderr, "spSearch failed: %s\n", result.error_text.c_str());
      return 1;
    }
  }
  std::printf("%.3f\n", Median(calls));
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--spsearch") {
    return SearchCallsMain(argv[2], std::atoi(argv[3]));
  }
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  const int search_seconds = argc > 3 ? std::atoi(argv[3]) : 60;
  constexpr int kConnections = 32;
  if (Run("command -v wrk").empty()) {
    std::cerr << "wrk is not installed (scripts/install-deps installs it)\n";
    return 1;
  }
  const std::string dir = tellwen::bench::MakeBenchWorkspace("tellwen-web-bench");
  if (dir.empty()) return 1;

  std::cout << "catalog: " << lines << " index entries in " << dir << "\n" << std::flush;
  tellwen::bench::WriteSampleIndex(dir + "/kivtmp.txt", lines);
  const auto update_begin = Clock::now();
  std::ofstream rows(dir + "/rows.txt");
  tellwen::RegistrySettings update_settings;
  if (tellwen::indexer::RunUpdateJobHeadless(false, update_settings, nullptr, rows) != 0) {
    std::cerr << "the update failed; see " << dir << "/sql_log.txt\n";
    return 1;
  }
  std::printf("update job: %.1f s\n", Ms(Clock::now() - update_begin) / 1000);
  tellwen::CKIVRegistry().SetValue("WebStatus", "yes");

  const std::string site = dir + "/site";
  if (std::system(("'" + std::string(TELLWEN_SOURCE_DIR) + "/scripts/lay-out-site' '" +
                   TELLWEN_BINARY_DIR + "' '" + site + "' 2>/dev/null")
                      .c_str()) != 0) {
    std::cerr << "lay-out-site failed\n";
    return 1;
  }
  tellwen::testing::MakeReadable(dir, /*writable=*/true);
  tellwen::testing::KivwebProcess kivweb;
  const std::string error = kivweb.Start(
      {"--config", site + "/kivweb.conf", "--listen", "127.0.0.1:0"}, dir + "/kivweb.log");
  if (!error.empty()) {
    std::cerr << error << "\n";
    return 1;
  }
  const int port = kivweb.port();

  struct Target {
    const char* name;
    std::string path;
    int seconds;
  };
  const std::vector<Target> targets = {
      {"static file /kiv/default.htm", "/kiv/default.htm", seconds},
      {"home page", "/scripts/KIVQuery.so?Command?", seconds},
      {"search, rare term (1 hit)", "/scripts/KIVQuery.so?" + FormQuery("song123457"),
       search_seconds},
      {"search, medium term (111 hits)", "/scripts/KIVQuery.so?" + FormQuery("song1234"),
       search_seconds},
      {"search, common term (56k hits)", "/scripts/KIVQuery.so?" + FormQuery("track.mp3"),
       search_seconds},
  };
  std::printf("\nwrk, %d connections, %d s per page (%d s per search), kivweb on 127.0.0.1:%d\n",
              kConnections, seconds, search_seconds, port);
  std::printf("%-32s %10s %9s %9s %9s %9s\n", "page", "req/s", "p50 ms", "p90 ms", "p99 ms",
              "vs static");
  double baseline = 0;
  for (const Target& target : targets) {
    const Load load = RunWrk(port, target.path, kConnections, target.seconds);
    WaitIdle(kivweb.pid());
    if (baseline == 0) baseline = load.rps;
    std::printf("%-32s %10.1f %9.2f %9.2f %9.2f %9.4f\n", target.name, load.rps, load.p50, load.p90,
                load.p99, baseline > 0 ? load.rps / baseline : 0);
    if (!load.errors.empty()) std::printf("  (%s)\n", load.errors.c_str());
    std::fflush(stdout);
  }

  // One request at a time: the search page against its spSearch call made
  // directly by a fresh process (this program in its child mode).
  std::printf("\nmedian of 15, one at a time            page ms  spSearch ms   added ms\n");
  for (const char* term : {"song123457", "song1234", "track.mp3"}) {
    std::vector<double> page;
    for (int i = 0; i < 15; ++i) {
      const auto begin = Clock::now();
      const tellwen::testing::HttpResponse response =
          tellwen::testing::Get(port, "/scripts/KIVQuery.so?" + FormQuery(term));
      page.push_back(Ms(Clock::now() - begin));
      if (response.status != 200) std::printf("  page status %d\n", response.status);
    }
    const double page_ms = Median(page);
    const double call_ms =
        std::atof(Run("'" + std::string(argv[0]) + "' --spsearch '" + term + "' 15").c_str());
    std::printf("search '%-12s'                %10.2f %12.2f %10.2f\n", term, page_ms, call_ms,
                page_ms - call_ms);
  }
  kivweb.Stop();
  if (!std::getenv("KEEP")) std::system(("rm -rf '" + dir + "'").c_str());
  std::printf("work folder %s (%s)\n", dir.c_str(), std::getenv("KEEP") ? "kept" : "removed");
  return 0;
}
