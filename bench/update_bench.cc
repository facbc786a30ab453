// Benchmark of the update job: builds an index file of N lines (1,000,000 by
// default), runs the /updatedb code path on it against the embedded SQL
// server, and, in the same run, loads the same file into a plain table with
// the sqlite3 shell's .import as the baseline. Prints the time of each task,
// the whole update against the bare import as a ratio, and the median of 20
// calls of spSearch for a substring over the catalog it built. With
// ENGINE=postgresql the baseline is psql's \copy of the file into a plain
// table on the same server (COPY alone).
//
// usage: update_bench [lines]   (needs the sqlite3 shell on PATH; 2000 is a
// quick run that checks the bench still works)
// With KIVINDEXER=<path of KIVIndexer> the update runs as that program's
// /updatedb in a child process and its printed task rows are shown; otherwise
// it runs the same code path in this process (RunUpdateJobHeadless with the
// job's own executor, UpdateSql, so the task bodies share one connection and
// the swap commits the transaction an earlier task began), with each task
// timed to the millisecond.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bench/bench_workspace.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "indexer/core/script_splitter.h"
#include "indexer/core/update_headless.h"
#include "indexer/core/update_sql.h"
#include "sql/update_script_template.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times every batch that the update job's own executor runs, by the task it
// belongs to (the loader's batches and the category batches count for the
// task that drives them).
class TimingExecutor : public tellwen::SqlSession {
 public:
  tellwen::SqlResult Run(const std::string& batch, int column_count,
                         tellwen::SqlCaller caller) override {
    const auto begin = Clock::now();
    tellwen::SqlResult result = job_sql_.Run(batch, column_count, caller);
    const double spent = Seconds(Clock::now() - begin);
    std::lock_guard<std::mutex> lock(mutex_);
    if (caller == tellwen::SqlCaller::kIndexerTaskBody) {
      // Task bodies arrive in the order of the script.
      static const std::vector<tellwen::indexer::ScriptTask> tasks =
          tellwen::indexer::SplitScript(tellwen::UpdateScriptTemplate(), {});
      order_.push_back(order_.size() < tasks.size() ? tasks[order_.size()].name : "?");
      seconds_.push_back(spent);
    } else if (!seconds_.empty()) {
      seconds_.back() += spent;
    }
    if (result.error) std::cerr << "batch failed: " << result.error_text << "\n";
    return result;
  }
  std::vector<std::string> order_;
  std::vector<double> seconds_;
  std::mutex mutex_;

 private:
  tellwen::indexer::UpdateSql job_sql_;
};

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string dir = tellwen::bench::MakeBenchWorkspace("tellwen-update-bench");
  if (dir.empty()) return 1;

  const std::string index = dir + "/kivtmp.txt";
  std::cout << "index file: " << lines << " lines in " << dir << "\n";
  tellwen::bench::WriteSampleIndex(index, lines);

  // Baseline: the same file into a plain table with the sqlite3 shell, or
  // with psql's \copy on the PostgreSQL server.
  const char* kColumns =
      "zz(Col001 text, Col002 text, Col003 text, Col004 text, Col005 text, Col006 text)";
  const tellwen::testing::PostgresServer* server = tellwen::bench::BenchPostgresServer().get();
  const char* baseline_name =
      server ? "psql \\copy into a plain table" : "sqlite3 .import into a plain table";
  const auto import_begin = Clock::now();
  if (server != nullptr) {
    if (!server->Psql("kiv", std::string("create table ") + kColumns) ||
        !server->Psql("kiv", "\\copy zz from '" + index + "'")) {
      std::cerr << "psql \\copy failed\n";
      return 1;
    }
  } else {
    const std::string import = "sqlite3 " + dir + "/baseline.sqlite 'create table " + kColumns +
                               "' && sqlite3 " + dir + "/baseline.sqlite '.mode tabs' '.import " +
                               index + " zz'";
    if (std::system(import.c_str()) != 0) {
      std::cerr << "sqlite3 .import failed (is the sqlite3 shell installed?)\n";
      return 1;
    }
  }
  const double import_seconds = Seconds(Clock::now() - import_begin);

  // The update, as /updatedb runs it.
  double update_seconds = 0, category_seconds = 0, index_seconds = 0;
  if (const char* kivindexer = std::getenv("KIVINDEXER")) {
    const auto update_begin = Clock::now();
    const int status = std::system((std::string(kivindexer) + " /updatedb").c_str());
    update_seconds = Seconds(Clock::now() - update_begin);
    if (status != 0) {
      std::cerr << "KIVIndexer /updatedb failed; see " << dir << "/sql_log.txt\n";
      return 1;
    }
  } else {
    TimingExecutor executor;
    std::ofstream rows(dir + "/rows.txt");
    tellwen::RegistrySettings settings;
    const auto update_begin = Clock::now();
    const int status = tellwen::indexer::RunUpdateJobHeadless(false, settings, &executor, rows);
    update_seconds = Seconds(Clock::now() - update_begin);
    if (status != 0) {
      std::cerr << "the update did not complete; see " << dir << "/sql_log.txt\n";
      return 1;
    }
    std::printf("\n%-36s %10s\n", "task", "seconds");
    for (size_t i = 0; i < executor.order_.size(); ++i) {
      std::printf("%-36.36s %10.3f\n", executor.order_[i].c_str(), executor.seconds_[i]);
      const std::string& task = executor.order_[i];
      if (task == "updating categories") category_seconds += executor.seconds_[i];
      if (task.find("index on") != std::string::npos) index_seconds += executor.seconds_[i];
    }
  }

  std::printf("\n%-35s %8.2f s\n", (std::string(baseline_name) + ":").c_str(), import_seconds);
  std::printf("whole update (/updatedb):           %8.2f s\n", update_seconds);
  std::printf("ratio update / import:              %8.2f (aim: 10 or less)\n",
              update_seconds / import_seconds);
  std::printf("category step (updating categories): %7.2f s (aim: under 3 s)\n", category_seconds);
  std::printf("index tasks (B-tree and substring):  %7.2f s\n", index_seconds);

  // spSearch for a substring over the catalog: median of 20 calls.
  std::vector<double> calls;
  bool search_failed = false;
  for (int i = 0; i < 20; ++i) {
    const std::string call =
        "spSearch '0', '20', '0', '2147483647', 0, 0, 1, '( fn like ''%g12345%'' )', '( d2 like "
        "''%g12345%'' )', '( fn like ''%g12345%'' )', '0', 'g12345', '2002-02-15 10:00:" +
        std::to_string(10 + i) + "', '00000000" + std::to_string(10 + i) + "', '' ;";
    const auto begin = Clock::now();
    tellwen::SqlResult result = tellwen::RunSql(call, 10, tellwen::SqlCaller::kQuerySearch);
    calls.push_back(Seconds(Clock::now() - begin) * 1000);
    if (result.error) {
      std::cerr << "spSearch failed: " << result.error_text << "\n";
      search_failed = true;
    }
    if (i == 0) std::printf("spSearch hits on the first page: %zu\n", result.rows.size());
  }
  std::sort(calls.begin(), calls.end());
  std::printf("spSearch substring, median of 20:   %8.1f ms\n", (calls[9] + calls[10]) / 2);
  std::string keep = std::getenv("KEEP") ? "kept" : "removed";
  if (!std::getenv("KEEP")) std::system(("rm -rf " + dir).c_str());
  std::printf("work folder %s (%s)\n", dir.c_str(), keep.c_str());
  // A failed call is quick: its time says nothing.
  return search_failed ? 1 : 0;
}
