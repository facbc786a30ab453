// A scratch installation for one benchmark run: a fresh folder under /tmp
// holding the settings store (TELLWEN_REGISTRY) and the data folder
// (TELLWEN_DATA), both pointed to by this process's environment, the
// settings the update job needs, and an empty database "kiv" that the
// settings name. WriteSampleIndex writes the index file the benchmarks load.
// ENGINE=postgresql puts the database on a PostgreSQL server started for the
// run (as the tests start theirs) instead of the embedded engine.
//
// Thread safety: call once, before any other thread starts (it sets
// environment variables).
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "common/settings.h"
#include "tests/support/postgres_server.h"

namespace tellwen::bench {

// The PostgreSQL server of this run (ENGINE=postgresql), or nullptr.
inline std::unique_ptr<testing::PostgresServer>& BenchPostgresServer() {
  static std::unique_ptr<testing::PostgresServer> server;
  return server;
}

// The folder ("/tmp/<prefix>.XXXXXX"), or "" with the reason on stderr.
inline std::string MakeBenchWorkspace(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + ".XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::cerr << "cannot make a folder like " << pattern << "\n";
    return "";
  }
  const std::string dir = pattern;
  setenv("TELLWEN_REGISTRY", (dir + "/registry").c_str(), 1);
  setenv("TELLWEN_DATA", (dir + "/data").c_str(), 1);
  mkdir((dir + "/data").c_str(), 0700);
  CKIVRegistry settings;
  settings.SetValue("TemporaryFolder", dir + "/");
  settings.SetValue("SqlLogFolder", dir + "/");
  settings.SetValue("SqlServer", "localhost");
  settings.SetValue("SqlDatabase", "master");
  const char* engine = std::getenv("ENGINE");
  if (engine != nullptr && IsPostgresqlEngine(engine)) {
    // The server lives as long as the process (and goes with its folder).
    std::unique_ptr<testing::PostgresServer>& server = BenchPostgresServer();
    std::string why;
    server = testing::PostgresServer::Start(&why);
    if (!server) {
      std::cerr << "no PostgreSQL server: " << why << "\n";
      return "";
    }
    RegistrySettings store;
    StoreConnectionSettings(store, {server->DataSource(), "master", testing::PostgresServer::kUser,
                                    server->password(), kEnginePostgresql});
    std::cerr << "engine: PostgreSQL at " << server->DataSource() << "\n";
  }
  const SqlResult created = RunSql("create database [kiv]", 0, SqlCaller::kSetupDatabase);
  if (created.error) {
    std::cerr << "create database failed: " << created.error_text << "\n";
    return "";
  }
  settings.SetValue("SqlDatabase", "kiv");
  settings.SetValue("LastIndexData", "2002-02-15 17:38:32");
  return dir;
}

// An index file of `lines` lines: a LAN of 250 computers, 4 shares each,
// folders two deep, file names "song<i> track.<ext>" with the extensions of
// the default categories.
inline void WriteSampleIndex(const std::string& path, long lines) {
  static const char* kExtensions[] = {"mp3", "avi", "doc", "txt", "jpg", "zip", "exe", "cpp",
                                      "pdf", "htm", "wav", "iso", "dat", "log", "mdb", "png"};
  std::ofstream out(path, std::ios::binary);
  std::string line;
  for (long i = 0; i < lines; ++i) {
    const long computer = i / 4000, share = (i / 1000) % 4, top = (i / 100) % 10,
               sub = (i / 10) % 10;
    line = "//PC" + std::to_string(computer) + "\tshare" + std::to_string(share) + "\t";
    if (i % 10 == 0) {
      line += "music" + std::to_string(top) + "\talbum" + std::to_string(sub) + "\t*\t0\r\n";
    } else {
      line += "music" + std::to_string(top) + "\talbum" + std::to_string(sub) + "\tsong" +
              std::to_string(i) + " track." + kExtensions[i % 16] + "\t" +
              std::to_string((i * 7919) % 500000) + "\r\n";
    }
    out << line;
  }
}

}  // namespace tellwen::bench
