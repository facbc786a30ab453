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

// Opens the database file with the server's settings (WAL, functions,
// collation, procedure table); nullptr with *error on failure.
sqlite3* OpenDatabase(const std::string& data_dir, const std::string& name, int busy_ms,
                      std::string* error);

}  // namespace tellwen::sqlserver
