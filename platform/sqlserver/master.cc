#include "platform/sqlserver/master.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/sqlserver/functions.h"
#include "platform/sqlserver/lock_waits.h"
#include "platform/sqlserver/text_util.h"

namespace tellwen::sqlserver {
namespace {

bool MakeFolders(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) partial.push_back(path[i]);
  }
  return true;
}

std::string FileFor(const std::string& data_dir, const std::string& name) {
  return data_dir + "/" + Lower(name) + ".sqlite";
}

// The server keeps every database file it has opened open for the life of
// the process through one idle handle. Sessions come and go (one per call),
// and the last connection to close a WAL database would otherwise make the
// next one rebuild the log index by reading the whole log. The handle never
// runs a statement, so it holds no lock.
void KeepOpen(const std::string& file) {
  static std::mutex mutex;
  static std::map<std::string, sqlite3*>* kept = new std::map<std::string, sqlite3*>();
  std::lock_guard<std::mutex> lock(mutex);
  if (kept->count(file)) return;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    // Opening is lazy: one read attaches the handle to the log and its
    // index. The header's schema cookie is such a read and, unlike a read of
    // sqlite_master, does not parse the schema (of many tables and indexes
    // in a catalog), which this handle never needs.
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr);
    (*kept)[file] = db;
  } else {
    sqlite3_close_v2(db);
  }
}

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    if (error) *error = message ? message : "unknown SQLite error";
    sqlite3_free(message);
    return false;
  }
  return true;
}

// Opens master, creating it (and the folder) the first time.
sqlite3* OpenMaster(const std::string& data_dir, int busy_ms, std::string* error) {
  if (!MakeFolders(data_dir)) {
    *error = "Cannot create the data folder " + data_dir + ": " + strerror(errno);
    return nullptr;
  }
  sqlite3* db = nullptr;
  const std::string file = FileFor(data_dir, "master");
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    *error = "Cannot open " + file + ": " + sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, busy_ms);
  KeepOpen(file);
  sqlite3_stmt* stmt = nullptr;
  bool ready = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'logins'", -1, &stmt,
                         nullptr) == SQLITE_OK) {
    ready = sqlite3_step(stmt) == SQLITE_ROW;
  }
  sqlite3_finalize(stmt);
  if (!ready) {
    if (!Exec(db, "PRAGMA journal_mode=WAL", error) ||
        !Exec(db,
              "BEGIN IMMEDIATE;"
              "CREATE TABLE IF NOT EXISTS logins (name TEXT PRIMARY KEY COLLATE NOCASE, "
              "password TEXT NOT NULL);"
              "CREATE TABLE IF NOT EXISTS databases (name TEXT PRIMARY KEY COLLATE NOCASE);"
              "CREATE TABLE IF NOT EXISTS _tsql_procedures (name TEXT PRIMARY KEY COLLATE "
              "NOCASE, definition TEXT NOT NULL);"
              "INSERT OR IGNORE INTO logins VALUES ('sa', '');"
              "COMMIT;",
              error)) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close_v2(db);
      return nullptr;
    }
  }
  return db;
}

}  // namespace

bool ValidDatabaseName(const std::string& name) {
  if (name.empty() || name.size() > 123 || name[0] == '.') return false;
  for (unsigned char c : name) {
    if (!isalnum(c) && c != '_' && c != '-' && c != '.' && c != ' ' && c != '$' && c != '#' &&
        c != '@') {
      return false;
    }
  }
  return true;
}

bool CheckLogin(const std::string& data_dir, const std::string& user, const std::string& password,
                int busy_ms, std::string* error, const std::string* database,
                bool* database_exists) {
  sqlite3* db = OpenMaster(data_dir, busy_ms, error);
  if (!db) return false;
  sqlite3_stmt* stmt = nullptr;
  bool ok = false;
  if (sqlite3_prepare_v2(db, "SELECT password FROM logins WHERE name = ?1", -1, &stmt, nullptr) ==
      SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, user.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) == SQLITE_ROW) {
      const char* stored = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      ok = stored && password == stored;
    }
  }
  sqlite3_finalize(stmt);
  if (ok && database && database_exists) {
    *database_exists = strcasecmp(database->c_str(), "master") == 0;
    stmt = nullptr;
    if (!*database_exists && sqlite3_prepare_v2(db, "SELECT 1 FROM databases WHERE name = ?1", -1,
                                                &stmt, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(stmt, 1, database->c_str(), -1, SQLITE_TRANSIENT);
      *database_exists = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close_v2(db);
  if (!ok) *error = "Login failed for user '" + user + "'.";
  return ok;
}

bool CreateDatabase(const std::string& data_dir, const std::string& name, std::string* error) {
  if (!ValidDatabaseName(name) || strcasecmp(name.c_str(), "master") == 0 ||
      strcasecmp(name.c_str(), "tempdb") == 0) {
    if (strcasecmp(name.c_str(), "master") == 0) {
      *error = "Database 'master' already exists. Choose a different database name.";
    } else {
      *error = "The database name '" + name + "' is not valid on this server.";
    }
    return false;
  }
  sqlite3* master = OpenMaster(data_dir, 30000, error);
  if (!master) return false;
  bool ok = Exec(master, "BEGIN IMMEDIATE", error);
  if (ok) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(master, "INSERT OR IGNORE INTO databases VALUES (?1)", -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    if (ok && sqlite3_changes(master) == 0) {
      *error = "Database '" + name + "' already exists. Choose a different database name.";
      ok = false;
    }
  }
  if (ok) {
    // A file left by a database that was dropped by hand is started afresh.
    const std::string file = FileFor(data_dir, name);
    unlink(file.c_str());
    unlink((file + "-wal").c_str());
    unlink((file + "-shm").c_str());
    sqlite3* db = OpenDatabase(data_dir, name, 30000, error);
    ok = db != nullptr;
    if (db) sqlite3_close_v2(db);
  }
  Exec(master, ok ? "COMMIT" : "ROLLBACK", nullptr);
  sqlite3_close_v2(master);
  return ok;
}

bool SetLoginPassword(const std::string& data_dir, const std::string& login,
                      const std::string& password, std::string* error) {
  sqlite3* master = OpenMaster(data_dir, 30000, error);
  if (!master) return false;
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(master, "UPDATE logins SET password = ?2 WHERE name = ?1", -1, &stmt, nullptr);
  sqlite3_bind_text(stmt, 1, login.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 2, password.c_str(), -1, SQLITE_TRANSIENT);
  const bool ok = sqlite3_step(stmt) == SQLITE_DONE && sqlite3_changes(master) == 1;
  sqlite3_finalize(stmt);
  sqlite3_close_v2(master);
  if (!ok) {
    *error = "Cannot alter the login '" + login +
             "', because it does not exist or you do not have permission.";
  }
  return ok;
}

namespace {

// Attaches the database's log file as kLogSchema: WAL, NORMAL sync, and the
// empty table that a transaction writes to take that file's write lock.
bool AttachLogDatabase(sqlite3* db, const std::string& data_dir, const std::string& name,
                       std::string* error) {
  // "~" never appears in a database name, so no database has this file.
  const std::string file = FileFor(data_dir, name + "~logs");
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS logs", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_bind_text(stmt, 1, file.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) {
    *error = "Cannot open the log file of database \"" + name + "\": " + sqlite3_errmsg(db);
    return false;
  }
  std::string mode;
  bool ready = false;
  if (sqlite3_prepare_v2(db, "PRAGMA logs.journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  if (mode != "wal") Exec(db, "PRAGMA logs.journal_mode=WAL", nullptr);
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM logs.sqlite_master WHERE name = '_tsql_writer'", -1,
                         &stmt, nullptr) == SQLITE_OK) {
    ready = sqlite3_step(stmt) == SQLITE_ROW;
  }
  sqlite3_finalize(stmt);
  KeepOpen(file);
  if (!Exec(db, "PRAGMA logs.synchronous=NORMAL; PRAGMA logs.secure_delete=OFF;", error)) {
    return false;
  }
  return ready || Exec(db, "CREATE TABLE IF NOT EXISTS logs._tsql_writer (x)", error);
}

}  // namespace

sqlite3* OpenDatabase(const std::string& data_dir, const std::string& name, int busy_ms,
                      std::string* error) {
  const std::string file = FileFor(data_dir, name);
  if (strcasecmp(name.c_str(), "master") == 0) {
    sqlite3* m = OpenMaster(data_dir, busy_ms, error);
    if (!m) return nullptr;
    sqlite3_close_v2(m);
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    *error = "Cannot open database \"" + name + "\": " + sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    return nullptr;
  }
  // Waits woken by this process's commits (lock_waits.h): SQLite's own
  // timeout backs off to 100 ms between tries, and with many short writers
  // a waiting one keeps missing the moments the lock is free.
  WaitForLocks(db, busy_ms);
  WakeWaitersOnCommit(db, kDefaultCheckpointFrames);
  sqlite3_extended_result_codes(db, 0);
  // "x" is always a name here, never a string: an unknown column must fail.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  // Every session is one connection; folding the log back at each close
  // would write every page twice. Checkpoints happen as the log grows.
  sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  // WAL once per file (persistent); per connection: no secure delete (drops
  // of large work tables stay cheap), NORMAL sync (safe with WAL), a larger
  // cache and memory-mapped reads for the name scans. #temp tables and large
  // sorts keep 16 MiB in memory and spill to a temporary file past that, so
  // that a loop filling a #temp table fills a disk, not the memory of the
  // program hosting the server. The catalog's file is read through a memory
  // map of up to 1 GiB (address space, not memory: the pages stay the
  // kernel's page cache, shared by every connection and process).
  if (!Exec(db,
            "PRAGMA secure_delete=OFF; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-32768;"
            "PRAGMA temp_store=FILE; PRAGMA temp.cache_size=-16384;"
            "PRAGMA main.mmap_size=1073741824;",
            error)) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_stmt* stmt = nullptr;
  std::string mode;
  if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    mode = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  }
  sqlite3_finalize(stmt);
  if (mode != "wal") Exec(db, "PRAGMA journal_mode=WAL", nullptr);
  bool has_procedures = false;
  if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = '_tsql_procedures'", -1,
                         &stmt, nullptr) == SQLITE_OK) {
    has_procedures = sqlite3_step(stmt) == SQLITE_ROW;
  }
  sqlite3_finalize(stmt);
  KeepOpen(file);
  if (!has_procedures &&
      !Exec(db,
            "CREATE TABLE IF NOT EXISTS _tsql_procedures (name TEXT PRIMARY KEY COLLATE "
            "NOCASE, definition TEXT NOT NULL)",
            error)) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  if (!AttachLogDatabase(db, data_dir, name, error)) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  if (RegisterFunctions(db) != SQLITE_OK) {
    *error = std::string("Cannot register the server functions: ") + sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    return nullptr;
  }
  return db;
}

}  // namespace tellwen::sqlserver
