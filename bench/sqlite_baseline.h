// The plain SQLite database a benchmark measures against: opened (created)
// at a path and set up by a script of statements.
//
// Thread safety: the returned handle belongs to the calling thread.
#pragma once

#include <sqlite3.h>

#include <iostream>
#include <string>

namespace tellwen::bench {

// The database at path after setup ran; nullptr, with the reason on stderr,
// when it cannot be opened or the setup fails.
inline sqlite3* OpenSqliteBaseline(const std::string& path, const char* setup) {
  sqlite3* db = nullptr;
  char* error = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, setup, nullptr, nullptr, &error) != SQLITE_OK) {
    std::cerr << path << ": " << (error ? error : sqlite3_errmsg(db)) << "\n";
    sqlite3_free(error);
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

}  // namespace tellwen::bench
