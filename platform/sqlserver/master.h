// The server's files: the data folder, master.sqlite (logins and the list of
// databases) and one SQLite file per database.
//
// Thread safety: functions open their own SQLite handles; any number may run
// at once in any threads and processes.
#pragma once

#include <sqlite3.h>

#include <string>

namespace tellwen::sqlserver {

// True when name is usable as a database name (and file name).
bool ValidDatabaseName(const std::string& name);

// Checks user and password against master's logins (creating the data
// folder and master with the login sa, empty password, when missing).
// With database set, also tells whether it exists (one look at master).
bool CheckLogin(const std::string& data_dir, const std::string& user, const std::string& password,
                int busy_ms, std::string* error, const std::string* database = nullptr,
                bool* database_exists = nullptr);

bool CreateDatabase(const std::string& data_dir, const std::string& name, std::string* error);
bool SetLoginPassword(const std::string& data_dir, const std::string& login,
                      const std::string& password, std::string* error);

// The schema name of a database's log file. Every database <name>.sqlite has
// a companion <name>~logs.sqlite, attached to every connection as "logs":
// the tables that the web and the monitor append to or rewrite live there,
// so that their writes take that file's write lock and never wait behind the
// long transactions of the update job on the catalog's file. Unqualified
// names find tables of either file (SQLite looks in temp, main, then logs).
inline constexpr const char* kLogSchema = "logs";

// Opens the database file with the server's settings (WAL, functions,
// collation, procedure table) and attaches its log file; nullptr with
// *error on failure.
sqlite3* OpenDatabase(const std::string& data_dir, const std::string& name, int busy_ms,
                      std::string* error);

}  // namespace tellwen::sqlserver
