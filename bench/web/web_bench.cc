// Benchmark of the search site: kivweb with KIVQuery.so over a catalog of N
// entries (1,000,000 by default) loaded by the update job, driven by wrk at
// 32 connections. The baseline is a static file served by the same kivweb in
// the same run; each page's requests per second are printed with their
// latency percentiles and as a ratio to the baseline. Then the median time of
// one search page fetched alone against the median of the same spSearch call
// made in-process: what the web server and the extension add to the query,
// and where the time of one search page goes (the page run in-process on the
// extension object, its settings reads and database calls timed apart).
//
// Every answer timed is checked (wrk's response hook, and each page fetched
// alone): the page it means to time (a search page with its result rows,
// the home page with its counter, the static file), with no error,
// refusal or "updating" block. The bench stops at the first page that is
// not, and prints it: an error page is fast, and timing it says nothing.
//
// usage: web_bench [entries] [seconds per wrk run] [seconds per search run]
// (defaults 1000000, 10, 60; entries at least 1000; needs wrk on PATH).
// Search pages over a large catalog take seconds each at 32 connections,
// hence their longer runs. "2000 1 1" is a quick run that checks the bench
// still works. KEEP=1 keeps the work folder. FRONT_ENDS=2 then serves the
// medium search from two kivweb processes at once, each with a settings
// store of its own over the one catalog (16 connections each), against one
// kivweb at 32: what a second front end adds, or costs on the same cores.
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
#include <thread>
#include <vector>

#include "bench/bench_workspace.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "indexer/core/update_headless.h"
#include "query/command_params.h"
#include "query/query_server.h"
#include "query/search.h"
#include "tests/query/fake_ecb.h"
#include "tests/query/search_form.h"
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
  long good = 0, bad = 0;  // answers checked by the wrk script
  std::string first_bad;
};

double LatencyMs(const std::string& text) {
  const double value = std::atof(text.c_str());
  if (text.find("us") != std::string::npos) return value / 1000;
  if (text.find("ms") != std::string::npos) return value;
  if (text.find('s') != std::string::npos) return value * 1000;
  return value;
}

// Texts that mark a page as not the one timed, whatever else it holds.
const std::vector<std::string> kWrongPage = {
    "fatal ERROR",    "unexpected error",    "An error has occurred", "page refresh in",
    "invalid string", "Access is FORBIDDEN", "Service is UPDATING",   "Service is temporary DOWN"};

// Why body (status status) is not the page that holds expected; "" when it is.
std::string WrongPage(int status, const std::string& body, const std::string& expected) {
  if (status != 200) return "status " + std::to_string(status);
  for (const std::string& text : kWrongPage) {
    if (body.find(text) != std::string::npos) return "the page holds \"" + text + "\"";
  }
  if (body.find(expected) == std::string::npos) return "no \"" + expected + "\" on the page";
  return "";
}

// A wrk script that checks every answer as WrongPage does and prints
// "checked: <good> good <bad> bad" and the start of the first bad answer.
std::string WriteCheckScript(const std::string& dir, int n, const std::string& expected) {
  auto lua_string = [](const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return quoted + "\"";
  };
  std::string wrong = "{";
  for (const std::string& text : kWrongPage) wrong += lua_string(text) + ",";
  wrong += "}";
  const std::string path = dir + "/check" + std::to_string(n) + ".lua";
  std::ofstream(path) << "local threads = {}\n"
                         "function setup(thread) table.insert(threads, thread) end\n"
                         "function init(args) good = 0; bad = 0; sample = \"\" end\n"
                         "local wrong = "
                      << wrong
                      << "\n"
                         "function response(status, headers, body)\n"
                         "  local ok = status == 200 and string.find(body, "
                      << lua_string(expected)
                      << ", 1, true) ~= nil\n"
                         "  for _, w in ipairs(wrong) do\n"
                         "    if ok and string.find(body, w, 1, true) then ok = false end\n"
                         "  end\n"
                         "  if ok then good = good + 1 else\n"
                         "    bad = bad + 1\n"
                         "    if sample == \"\" then sample = status .. \" \" .. "
                         "string.sub(body, 1, 400) end\n"
                         "  end\n"
                         "end\n"
                         "function done(summary, latency, requests)\n"
                         "  local g, b, s = 0, 0, \"\"\n"
                         "  for _, t in ipairs(threads) do\n"
                         "    g = g + t:get(\"good\"); b = b + t:get(\"bad\")\n"
                         "    if s == \"\" then s = t:get(\"sample\") end\n"
                         "  end\n"
                         "  io.write(\"checked: \" .. g .. \" good \" .. b .. \" bad\\n\")\n"
                         "  if b > 0 then io.write(\"first bad answer: \" .. s .. \"\\n\") end\n"
                         "end\n";
  return path;
}

Load RunWrk(int port, const std::string& path, int connections, int seconds,
            const std::string& script) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
  const std::string output =
      Run("wrk -t2 -c" + std::to_string(connections) + " -d" + std::to_string(seconds) +
          "s --timeout 60s --latency -s '" + script + "' '" + url + "' 2>&1");
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
    if (first == "checked:") {
      std::string good_word, bad;  // "checked: <good> good <bad> bad"
      words >> good_word >> bad;
      load.good = std::atol(second.c_str());
      load.bad = std::atol(bad.c_str());
    }
    if (first == "first") load.first_bad = line;
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

// The searched terms over the sample index of `lines` lines (WriteSampleIndex:
// line i with i % 10 != 0 is the file "song<i> track.<ext>"): a rare term
// (one file), a medium one (about a hundred) and a common one (one file in
// twenty). At a million lines: song123457 (1 hit), song1234 (111), track.mp3
// (56k).
struct SearchTerms {
  std::string rare, medium, common;
};
SearchTerms TermsFor(long lines) {
  // A longer number that starts with the digits of `rare` is past the last
  // line, so no other name holds it.
  long rare = std::min(123457L, lines - 3);
  if (rare % 10 == 0) ++rare;
  return {"song" + std::to_string(rare), "song" + std::to_string(rare / 100), "track.mp3"};
}

std::string FormQuery(const std::string& term) {
  return "Command?search=" + term +
         "&searchkind=any+word&recordfrom=0&recordto=199&dowait=1&dirs=on&files=on";
}

// The spSearch call the search page makes for term.
std::string SearchCall(const std::string& term, int i) {
  const tellwen::query::CommandParams p = tellwen::testing::SearchForm(term, "any word");
  const tellwen::query::SearchPlan plan =
      tellwen::query::PlanSearch(term, p, tellwen::CKIVRegistry().GetValue("CategoriesEditForWeb"));
  char id[16];
  std::snprintf(id, sizeof id, "%010d", 900000 + i);
  return tellwen::query::SpSearchCall(plan, term, false, "2002-02-15 10:00:00", id,
                                      /*log_query=*/false);
}

// The extension's settings reads, timed (one thread).
class TimedSettings : public tellwen::Settings {
 public:
  explicit TimedSettings(tellwen::Settings& inner) : inner_(inner) {}
  std::string GetValue(const std::string& name) override {
    const auto begin = Clock::now();
    std::string value = inner_.GetValue(name);
    ms += Ms(Clock::now() - begin);
    ++calls;
    return value;
  }
  void SetValue(const std::string& name, const std::string& value) override {
    const auto begin = Clock::now();
    inner_.SetValue(name, value);
    ms += Ms(Clock::now() - begin);
    ++calls;
  }
  std::string DefaultValue(const std::string& name) override { return inner_.DefaultValue(name); }

  double ms = 0;
  int calls = 0;

 private:
  tellwen::Settings& inner_;
};

// The extension's database calls, timed: spSearch, the search log row and
// the others (the quick links) apart. One thread.
class TimedSql : public tellwen::SqlSession {
 public:
  explicit TimedSql(tellwen::SqlSession& inner) : inner_(inner) {}
  tellwen::SqlResult Run(const std::string& batch, int column_count,
                         tellwen::SqlCaller caller) override {
    const auto begin = Clock::now();
    tellwen::SqlResult result = inner_.Run(batch, column_count, caller);
    const double ms = Ms(Clock::now() - begin);
    if (caller == tellwen::SqlCaller::kQuerySearch) {
      search_ms += ms;
    } else if (batch.find("stat_last_queries") != std::string::npos ||
               batch.find("insert stat_searchs") != std::string::npos) {
      log_ms += ms;
    } else {
      other_ms += ms;
      ++other_calls;
    }
    return result;
  }

  double search_ms = 0, log_ms = 0, other_ms = 0;
  int other_calls = 0;

 private:
  tellwen::SqlSession& inner_;
};

// Where the time of one search page for term goes, run in-process on the
// extension object (no web server): medians of 15 pages. Returns false (and
// says why) when a page is not the search page with its rows.
bool PrintSearchPageTimes(const std::string& term) {
  TimedSettings settings(tellwen::MachineSettings());
  TimedSql sql(tellwen::MachineSql());
  tellwen::query::CQueryServer server(settings, sql, tellwen::MachineClock());
  tellwen::query::CParseMap parse_map;
  parse_map.AddCommand("Command", tellwen::query::CommandParamList());
  const std::string query = FormQuery(term);
  std::vector<double> total, parse, settings_ms, search, log, other, rest;
  int settings_calls = 0, other_calls = 0;
  // PROFILE_SECONDS=n: pages for n seconds more, for a profiler to attach
  // to (perf record -p <pid>); the medians take them in.
  const char* profile = std::getenv("PROFILE_SECONDS");
  if (profile) std::printf("\nprofiling: search pages for %s s, pid %d\n", profile, getpid());
  std::fflush(stdout);
  const auto until = Clock::now() + std::chrono::seconds(profile ? std::atoi(profile) : 0);
  for (int i = 0; i < 15 || Clock::now() < until; ++i) {
    auto begin = Clock::now();
    const tellwen::query::ParsedRequest parsed = parse_map.Parse(query, "");
    const tellwen::query::CommandParams params =
        tellwen::query::CommandParams::FromValues(parsed.values);
    parse.push_back(Ms(Clock::now() - begin));
    if (params.search != term) {
      std::printf("  the query string did not parse to the search\n");
      return false;
    }
    settings.ms = 0;
    settings.calls = 0;
    sql.search_ms = sql.log_ms = sql.other_ms = 0;
    sql.other_calls = 0;
    tellwen::testing::FakeRequest request(query);
    begin = Clock::now();
    request.Run(server);
    total.push_back(Ms(Clock::now() - begin));
    const std::string wrong = WrongPage(200, request.body, "<tr class=ab>");
    if (!wrong.empty()) {
      std::printf("  the in-process search page is not the page to time: %s\n", wrong.c_str());
      return false;
    }
    settings_ms.push_back(settings.ms);
    search.push_back(sql.search_ms);
    log.push_back(sql.log_ms);
    other.push_back(sql.other_ms);
    rest.push_back(total.back() - settings.ms - sql.search_ms - sql.log_ms - sql.other_ms);
    settings_calls = settings.calls;
    other_calls = sql.other_calls;
  }
  std::printf("\none search page for '%s' in-process, median ms of %zu:\n", term.c_str(),
              total.size());
  std::printf("  %-58s %8.3f\n", "whole page (extension object, no web server)", Median(total));
  std::printf("  %-58s %8.3f\n", "parse of the query string (apart, not in the page)",
              Median(parse));
  std::printf("  %-58s %8.3f\n",
              ("settings reads and writes (" + std::to_string(settings_calls) +
               " calls, access checks included)")
                  .c_str(),
              Median(settings_ms));
  std::printf("  %-58s %8.3f\n", "spSearch (as the site calls it: no log rows of its own)",
              Median(search));
  std::printf("  %-58s %8.3f\n", "the search's log rows: start, end and statistics (2 writes)",
              Median(log));
  std::printf("  %-58s %8.3f\n",
              ("other database calls: quick links (" + std::to_string(other_calls) + ")").c_str(),
              Median(other));
  std::printf("  %-58s %8.3f\n", "the rest: parse, access checks, rendering", Median(rest));
  return true;
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
  if (lines < 1000) {
    std::cerr << "usage: web_bench [entries, at least 1000] [seconds per wrk run] [seconds per "
                 "search run]\n";
    return 2;
  }
  const SearchTerms terms = TermsFor(lines);
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
    std::string expected;  // on every answer that is the page meant
  };
  const std::string kRow = "<tr class=ab>";
  const std::vector<Target> targets = {
      {"static file /kiv/default.htm", "/kiv/default.htm", seconds, "/scripts/KIVQuery.so"},
      {"home page", "/scripts/KIVQuery.so?Command?", seconds, "title='number of visitors'"},
      {"search, rare term", "/scripts/KIVQuery.so?" + FormQuery(terms.rare), search_seconds, kRow},
      {"search, medium term", "/scripts/KIVQuery.so?" + FormQuery(terms.medium), search_seconds,
       kRow},
      {"search, common term", "/scripts/KIVQuery.so?" + FormQuery(terms.common), search_seconds,
       kRow},
  };
  std::printf("\nwrk, %d connections, %d s per page (%d s per search), kivweb on 127.0.0.1:%d\n",
              kConnections, seconds, search_seconds, port);
  std::printf("searched terms: rare '%s', medium '%s', common '%s'\n", terms.rare.c_str(),
              terms.medium.c_str(), terms.common.c_str());
  std::printf("%-32s %10s %9s %9s %9s %9s\n", "page", "req/s", "p50 ms", "p90 ms", "p99 ms",
              "vs static");
  double baseline = 0;
  int n = 0;
  for (const Target& target : targets) {
    // One answer first: a site that answers with an error page stops the
    // bench before anything is timed.
    const tellwen::testing::HttpResponse first = tellwen::testing::Get(port, target.path);
    std::string wrong = WrongPage(first.status, first.body, target.expected);
    if (!wrong.empty()) {
      std::printf("%s: not the page to time (%s); stopped. The answer:\n%s\n", target.name,
                  wrong.c_str(), first.body.substr(0, 1500).c_str());
      kivweb.Stop();
      return 1;
    }
    const Load load = RunWrk(port, target.path, kConnections, target.seconds,
                             WriteCheckScript(dir, n++, target.expected));
    WaitIdle(kivweb.pid());
    if (load.bad > 0 || load.good == 0) {
      std::printf("%s: %ld of %ld answers were not the page to time; stopped.\n%s\n", target.name,
                  load.bad, load.bad + load.good, load.first_bad.c_str());
      kivweb.Stop();
      return 1;
    }
    if (baseline == 0) baseline = load.rps;
    std::printf("%-32s %10.1f %9.2f %9.2f %9.2f %9.4f\n", target.name, load.rps, load.p50, load.p90,
                load.p99, baseline > 0 ? load.rps / baseline : 0);
    if (!load.errors.empty()) std::printf("  (%s)\n", load.errors.c_str());
    std::fflush(stdout);
  }

  if (const char* front_ends = std::getenv("FRONT_ENDS");
      front_ends != nullptr && std::atoi(front_ends) == 2) {
    // The second front end: a copy of the settings store, the same catalog.
    const std::string hive = dir + "/registry2";
    if (std::system(("cp -a '" + dir + "/registry' '" + hive + "'").c_str()) != 0) {
      std::cerr << "cannot copy the settings store\n";
      return 1;
    }
    tellwen::testing::MakeReadable(dir, /*writable=*/true);
    tellwen::testing::KivwebProcess second;
    const std::string started =
        second.Start({"--config", site + "/kivweb.conf", "--listen", "127.0.0.1:0"},
                     dir + "/kivweb2.log", {"TELLWEN_REGISTRY=" + hive});
    if (!started.empty()) {
      std::cerr << started << "\n";
      return 1;
    }
    const std::string path = "/scripts/KIVQuery.so?" + FormQuery(terms.medium);
    Load one = RunWrk(port, path, kConnections, search_seconds, WriteCheckScript(dir, n++, kRow));
    WaitIdle(kivweb.pid());
    Load halves[2];
    const std::string scripts[2] = {WriteCheckScript(dir, n++, kRow),
                                    WriteCheckScript(dir, n++, kRow)};
    std::thread other([&] {
      halves[1] = RunWrk(second.port(), path, kConnections / 2, search_seconds, scripts[1]);
    });
    halves[0] = RunWrk(port, path, kConnections / 2, search_seconds, scripts[0]);
    other.join();
    WaitIdle(kivweb.pid());
    WaitIdle(second.pid());
    second.Stop();
    for (const Load& load : {one, halves[0], halves[1]}) {
      if (load.bad > 0 || load.good == 0) {
        std::printf("front ends: %ld of %ld answers were not the page to time; stopped.\n%s\n",
                    load.bad, load.bad + load.good, load.first_bad.c_str());
        kivweb.Stop();
        return 1;
      }
    }
    const double both = halves[0].rps + halves[1].rps;
    std::printf(
        "\nsearch, medium term: one kivweb at %d connections %.1f req/s; two kivweb "
        "at %d each %.1f + %.1f = %.1f req/s (ratio %.2f)\n",
        kConnections, one.rps, kConnections / 2, halves[0].rps, halves[1].rps, both,
        one.rps > 0 ? both / one.rps : 0);
  }

  // One request at a time: the search page against its spSearch call made
  // directly by a fresh process (this program in its child mode).
  std::printf("\nmedian of 15, one at a time            page ms  spSearch ms   added ms\n");
  for (const std::string& term : {terms.rare, terms.medium, terms.common}) {
    std::vector<double> page;
    for (int i = 0; i < 15; ++i) {
      const auto begin = Clock::now();
      const tellwen::testing::HttpResponse response =
          tellwen::testing::Get(port, "/scripts/KIVQuery.so?" + FormQuery(term));
      page.push_back(Ms(Clock::now() - begin));
      const std::string wrong = WrongPage(response.status, response.body, kRow);
      if (!wrong.empty()) {
        std::printf("search '%s': not the page to time (%s); stopped.\n", term.c_str(),
                    wrong.c_str());
        kivweb.Stop();
        return 1;
      }
    }
    const double page_ms = Median(page);
    const std::string call_output =
        Run("'" + std::string(argv[0]) + "' --spsearch '" + term + "' 15");
    if (call_output.empty()) {  // the child said why on stderr
      kivweb.Stop();
      return 1;
    }
    const double call_ms = std::atof(call_output.c_str());
    std::printf("search '%-12s'                %10.2f %12.2f %10.2f\n", term.c_str(), page_ms,
                call_ms, page_ms - call_ms);
  }
  kivweb.Stop();
  if (!PrintSearchPageTimes(terms.medium)) return 1;
  if (!std::getenv("KEEP")) std::system(("rm -rf '" + dir + "'").c_str());
  std::printf("work folder %s (%s)\n", dir.c_str(), std::getenv("KEEP") ? "kept" : "removed");
  return 0;
}
