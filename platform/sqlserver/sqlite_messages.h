// SQLite's error messages in SQL Server's words, for the ones the programs
// meet ("no such table: t" becomes "Invalid object name 't'."). A message
// without a counterpart passes unchanged.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen::sqlserver {

std::string MapSqliteMessage(const std::string& message);

}  // namespace tellwen::sqlserver
