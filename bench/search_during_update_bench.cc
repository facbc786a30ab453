// Load test of searching while the catalog is updated: 50 clients call
// spSearch through RunSql as the web extension does (one call, then a short
// pause, again), and a monitor rewrites monitor_pings every second, while
// /updatedb loads an index file of N lines (1,000,000 by default). The same
// clients first search for 10 s (baseline seconds) with no update running:
// that is the baseline the figures of the update phase are put against.
//
// Prints, per phase: calls, failures (by message), and the longest, 99th
// percentile and median call time; the same for the monitor's rewrites.
//
// usage: search_during_update_bench [lines] [clients] [baseline seconds]
// (defaults 1000000, 50, 10; "2000 4 1" is a quick run that checks the bench
// still works)
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_workspace.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "indexer/core/update_headless.h"
#include "indexer/core/update_job.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A LAN of computers with 4 shares each, folders two deep, 9 files a folder.
void WriteIndex(const std::string& path, long lines) {
  static const char* kExtensions[] = {"mp3", "avi", "doc", "txt", "jpg", "zip", "exe", "cpp"};
  std::ofstream out(path, std::ios::binary);
  for (long i = 0; i < lines; ++i) {
    const long computer = i / 4000, share = (i / 1000) % 4, top = (i / 100) % 10,
               sub = (i / 10) % 10;
    std::string line = "//PC" + std::to_string(computer) + "\tshare" + std::to_string(share) +
                       "\tmusic" + std::to_string(top) + "\talbum" + std::to_string(sub) + "\t";
    if (i % 10 == 0) {
      line += "*\t0\r\n";
    } else {
      line += "song" + std::to_string(i) + " track." + kExtensions[i % 8] + "\t" +
              std::to_string((i * 7919) % 500000) + "\r\n";
    }
    out << line;
  }
}

struct Sample {
  double seconds;
  std::string error;  // "" on success
};

class Recorder {
 public:
  void Add(Sample s) {
    std::lock_guard<std::mutex> lock(mutex_);
    samples_.push_back(std::move(s));
  }
  std::vector<Sample> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(samples_);
  }

 private:
  std::mutex mutex_;
  std::vector<Sample> samples_;
};

struct Summary {
  size_t calls = 0, failures = 0;
  double longest = 0, p99 = 0, median = 0;
};

Summary Summarise(const char* title, const std::vector<Sample>& samples) {
  Summary s;
  std::vector<double> times;
  std::map<std::string, int> errors;
  for (const Sample& x : samples) {
    times.push_back(x.seconds);
    if (!x.error.empty()) ++errors[x.error];
  }
  std::sort(times.begin(), times.end());
  s.calls = times.size();
  for (const auto& [text, count] : errors) s.failures += count;
  if (!times.empty()) {
    s.longest = times.back();
    s.p99 = times[times.size() * 99 / 100];
    s.median = times[times.size() / 2];
  }
  std::printf("%-28s calls %6zu  failures %4zu  longest %7.3f s  p99 %7.3f s  median %7.3f s\n",
              title, s.calls, s.failures, s.longest, s.p99, s.median);
  for (const auto& [text, count] : errors) std::printf("    %4d x %s\n", count, text.c_str());
  return s;
}

std::string SearchCall(int client, long n) {
  // A common word: the first page fills at once, so the call's time is that
  // of the server's work around it (the log writes), not of a long scan.
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "2002-02-15 10:%02ld:%02ld", (n / 60) % 60, n % 60);
  return "spSearch '0', '20', '0', '2147483647', 0, 0, 1, '( fn like ''%track%'' )', "
         "'( d2 like ''%track%'' )', '( fn like ''%track%'' )', '0', 'track', '" +
         std::string(stamp) + "', '" + std::to_string(1000000 * (client + 1) + n) + "', '' ;";
}

std::string MonitorRound(int round) {
  std::string b = "begin transaction delete from monitor_pings ";
  for (int pc = 0; pc < 250; ++pc) {
    b += "insert into monitor_pings(name, status, ping_time) values('//PC" + std::to_string(pc) +
         "', '" + std::to_string(1 + (pc + round) % 2) + "', '2002, 02, 15, 17, 38, 32') ";
  }
  return b + "commit transaction";
}

// Runs the clients and the monitor until stop is set.
void Load(int clients, std::atomic<bool>& stop, Recorder& searches, Recorder& monitor) {
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      for (long n = 0; !stop.load(); ++n) {
        const auto begin = Clock::now();
        tellwen::SqlResult r =
            tellwen::RunSql(SearchCall(c, n), 10, tellwen::SqlCaller::kQuerySearch);
        searches.Add({Seconds(Clock::now() - begin), r.error ? r.description : ""});
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    });
  }
  threads.emplace_back([&] {
    for (int round = 0; !stop.load(); ++round) {
      const auto begin = Clock::now();
      tellwen::SqlResult r =
          tellwen::RunSql(MonitorRound(round), 0, tellwen::SqlCaller::kMonitorRound);
      monitor.Add({Seconds(Clock::now() - begin), r.error ? r.description : ""});
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  });
  for (std::thread& t : threads) t.join();
}

bool Update(const std::string& dir) {
  std::ofstream rows(dir + "/rows.txt", std::ios::app);
  tellwen::indexer::HeadlessUpdateDriver driver(rows, false);
  tellwen::indexer::UpdateJobOptions options;
  options.silent = true;
  tellwen::RegistrySettings settings;
  return tellwen::indexer::RunUpdateJob(options, driver, settings) ==
         tellwen::indexer::UpdateJobOutcome::kSucceeded;
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int clients = argc > 2 ? std::atoi(argv[2]) : 50;
  const int baseline_seconds = argc > 3 ? std::atoi(argv[3]) : 10;
  const std::string dir = tellwen::bench::MakeBenchWorkspace("tellwen-search-bench");
  if (dir.empty()) return 1;

  // A live catalog to search while the big update runs.
  const std::string index = dir + "/kivtmp.txt";
  WriteIndex(index, std::min(lines, 20000L));
  if (!Update(dir)) {
    std::cerr << "the first update failed; see " << dir << "/sql_log.txt\n";
    return 1;
  }
  WriteIndex(index, lines);
  std::printf("%d clients; update of %ld lines; work folder %s\n", clients, lines, dir.c_str());

  Recorder searches, monitor;
  std::atomic<bool> stop{false};
  {
    std::thread load([&] { Load(clients, stop, searches, monitor); });
    std::this_thread::sleep_for(std::chrono::seconds(baseline_seconds));
    stop = true;
    load.join();
  }
  const Summary base = Summarise("no update: spSearch", searches.Take());
  Summarise("no update: monitor rewrite", monitor.Take());
  if (base.failures == base.calls) {
    // Nothing to put the update phase against: the searches themselves fail.
    std::cerr << "no search succeeded without an update; see " << dir << "/sql_log.txt\n";
    return 1;
  }

  stop = false;
  bool updated = false;
  const auto begin = Clock::now();
  {
    std::thread load([&] { Load(clients, stop, searches, monitor); });
    updated = Update(dir);
    stop = true;
    load.join();
  }
  std::printf("update %s in %.1f s\n", updated ? "completed" : "FAILED",
              Seconds(Clock::now() - begin));
  const Summary during = Summarise("during update: spSearch", searches.Take());
  Summarise("during update: monitor rewrite", monitor.Take());
  if (base.longest > 0) {
    std::printf("longest search during the update / without: %.1f\n",
                during.longest / base.longest);
  }
  if (!std::getenv("KEEP")) std::system(("rm -rf " + dir).c_str());
  return updated ? 0 : 1;
}
