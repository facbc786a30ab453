// Benchmark of the embedded SQL server on the update's hot paths:
//  1. loading 300,000 index lines through RunSql in the loader's batches of
//     3000 "insert into zz values(...)" inside "begin tran"/"commit tran";
//  2. a LIKE '%abc%' scan over the loaded names.
// Both are timed against plain SQLite doing the same work with prepared
// statements, and printed as ratios (ours / plain).
//
// Usage: sqlserver_load_bench [lines]   (default 300000; 3000 is a quick run
// that checks the bench still works)
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite_baseline.h"
#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/password.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::vector<std::vector<std::string>> MakeEntries(int count) {
  static const char* kWords[] = {"report", "music",  "photo", "abc",   "holiday", "draft",
                                 "O'Neil", "backup", "setup", "video", "notes",   "final"};
  static const char* kExt[] = {".txt", ".mp3", ".doc", ".jpg", ".zip", ".exe"};
  std::mt19937 rng(42);
  std::vector<std::vector<std::string>> entries;
  entries.reserve(count);
  for (int i = 0; i < count; ++i) {
    const std::string pc = "//PC" + std::to_string(rng() % 120);
    const std::string share = "share" + std::to_string(rng() % 4);
    const std::string parent = rng() % 2 ? "" : std::string(kWords[rng() % 12]) + "/sub";
    const std::string folder = kWords[rng() % 12];
    const std::string file =
        std::string(kWords[rng() % 12]) + "_" + std::to_string(rng() % 1000) + kExt[rng() % 6];
    entries.push_back({pc, share, parent, folder, file, std::to_string(rng() % 100000)});
  }
  return entries;
}

double LoadThroughRunSql(const std::vector<std::vector<std::string>>& entries) {
  const auto start = Clock::now();
  std::string batch;
  batch.reserve(5 << 20);
  int in_batch = 0;
  auto flush = [&] {
    batch += "commit tran\n";
    tellwen::SqlResult r = tellwen::RunSql(batch, 0, tellwen::SqlCaller::kIndexerBatch);
    if (r.error) {
      fprintf(stderr, "%s\n", r.error_text.c_str());
      exit(1);
    }
    batch.clear();
    in_batch = 0;
  };
  for (const auto& e : entries) {
    if (in_batch == 0) batch += "begin tran\n";
    batch += "insert into zz values('";
    for (size_t f = 0; f < e.size(); ++f) {
      if (f) batch += "','";
      for (char c : e[f]) {
        if (c == '\'')
          batch += "''";
        else
          batch += c;
      }
    }
    batch += "')\n";
    if (++in_batch == 3000) flush();
  }
  if (in_batch) flush();
  return Seconds(start);
}

double LoadPlain(sqlite3* db, const std::vector<std::vector<std::string>>& entries) {
  const auto start = Clock::now();
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO zz VALUES (?, ?, ?, ?, ?, ?)", -1, &stmt, nullptr);
  int in_batch = 0;
  for (const auto& e : entries) {
    if (in_batch == 0) sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int f = 0; f < 6; ++f) {
      sqlite3_bind_text(stmt, f + 1, e[f].data(), static_cast<int>(e[f].size()), SQLITE_STATIC);
    }
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (++in_batch == 3000) {
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      in_batch = 0;
    }
  }
  if (in_batch) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(stmt);
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? atoi(argv[1]) : 300000;
  const std::string root =
      (std::filesystem::temp_directory_path() / ("tellwen-bench-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(root + "/data");
  std::filesystem::create_directories(root + "/registry");
  setenv("TELLWEN_DATA", (root + "/data").c_str(), 1);
  setenv("TELLWEN_REGISTRY", (root + "/registry").c_str(), 1);
  {
    tellwen::CKIVRegistry registry;
    registry.SetValue("SqlServer", "localhost");
    registry.SetValue("SqlDatabase", "kiv");
    registry.SetValue("SqlUser", "sa");
    registry.SetValue("SqlPassword", tellwen::ScramblePassword(""));
  }
  tellwen::RunSqlOn(tellwen::BuildConnectionString({"localhost", "master", "sa", ""}),
                    "create database [kiv]", 0, {30, 7200});
  tellwen::RunSql(
      "CREATE TABLE [dbo].[zz] ([Col001] [varchar] (255) NULL , [Col002] [varchar] (255) NULL ,"
      " [Col003] [varchar] (255) NULL , [Col004] [varchar] (255) NULL , [Col005] [varchar] "
      "(255) NULL , [Col006] [varchar] (255) NULL ) ON [PRIMARY]",
      0, tellwen::SqlCaller::kIndexerTaskBody);

  sqlite3* plain = tellwen::bench::OpenSqliteBaseline(
      root + "/plain.sqlite",
      "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE zz (Col001 "
      "TEXT, Col002 TEXT, Col003 TEXT, Col004 TEXT, Col005 TEXT, Col006 TEXT)");
  if (!plain) {
    std::filesystem::remove_all(root);
    return 1;
  }

  const auto entries = MakeEntries(lines);
  const double ours_load = LoadThroughRunSql(entries);
  const double plain_load = LoadPlain(plain, entries);

  auto start = Clock::now();
  tellwen::SqlResult count = tellwen::RunSql("select count(*) from zz where Col005 like '%abc%'", 1,
                                             tellwen::SqlCaller::kQuerySearch);
  const double ours_scan = Seconds(start);
  if (count.error) {
    fprintf(stderr, "%s\n", count.error_text.c_str());
    sqlite3_close(plain);
    std::filesystem::remove_all(root);
    return 1;
  }
  start = Clock::now();
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(plain, "SELECT count(*) FROM zz WHERE Col005 LIKE '%abc%'", -1, &stmt,
                     nullptr);
  sqlite3_step(stmt);
  const long long plain_count = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  const double plain_scan = Seconds(start);
  sqlite3_close(plain);

  printf("lines: %d\n", lines);
  printf("load:  RunSql batches %.3f s, plain SQLite %.3f s, ratio %.2f\n", ours_load, plain_load,
         ours_load / plain_load);
  printf("scan:  LIKE '%%abc%%' %.3f s (%s rows), plain SQLite %.3f s (%lld rows), ratio %.2f\n",
         ours_scan, count.rows.empty() ? "?" : count.rows[0][0].c_str(), plain_scan, plain_count,
         ours_scan / plain_scan);
  std::filesystem::remove_all(root);
  return 0;
}
