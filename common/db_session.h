// The database session: how every program reaches the catalog database.
//
// A session lives for one call. Each call reads the connection settings
// (SqlServer, SqlDatabase, SqlUser and the scrambled SqlPassword) afresh,
// opens a connection to the embedded SQL server with the caller's two
// timeouts, runs one T-SQL batch, copies the rows of its first row set out as
// texts and closes everything. The web extension's calls (kQuerySearch,
// kQueryRowReader, kQueryStatementRunner) take their connection from a small
// pool instead and give it back clean (common/connection_pool.h): each call
// still behaves as on a fresh connection.
//
// Thread safety: any number of calls may run at once on any threads and in
// any processes.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tellwen {

class Settings;

namespace sqlserver {
class Connection;
}  // namespace sqlserver

using SqlRow = std::vector<std::string>;
using SqlRows = std::vector<SqlRow>;

// Who is calling; each caller has its own pair of timeouts.
enum class SqlCaller {
  kQuerySearch,           // the web extension's search
  kQueryRowReader,        // the statistics and browse pages' row reader
  kQueryStatementRunner,  // log inserts, quick links, download look-up, charts
  kIndexerSkipList,       // reading the computers not to rescan
  kIndexerTaskBody,       // task bodies of the update script
  kIndexerBatch,          // load, category and setup drop batches
  kSetupTest,             // setup's connection test
  kSetupDatabase,         // setup's database creation and object removal
  kMonitorRound,          // every round of the ping monitor
};

struct SqlTimeouts {
  int connection_seconds = 15;
  int command_seconds = 30;
};

// The timeout table: one place in the code that every caller names. The web
// extension's entries read QueryConnectionTimeout/QueryCommandTimeout afresh
// (a web request keeps what its first call read: SqlSettingsScope).
SqlTimeouts TimeoutsFor(SqlCaller caller);

struct SqlResult {
  SqlRows rows;            // first row set, NULL as "", numbers as decimal text
  bool error = false;      // true when the call failed
  std::string error_text;  // "unexpected error: " + description + " src:" + source
  std::string description;
  std::string source;
};

// Runs one batch. With column_count 0 the batch is only executed and no rows
// are returned; with n > 0 the first n fields of every row are read (an
// error when the row set has fewer columns, or when the batch produced no
// row set at all); with n < 0 every field is read and a batch without a row
// set gives no rows.
SqlResult RunSql(const std::string& command, int column_count, SqlCaller caller);
SqlResult RunSql(const std::string& command, int column_count, SqlTimeouts timeouts);

// The one exception to "a session lives for one call": a connection kept
// open across batches, for a job whose transaction spans several batches (the
// update job's swap and the stored procedures it re-creates commit together).
// It opens with the stored connection settings and the caller's timeouts on
// its first Run. A transaction that a batch leaves open goes on in the next
// batch, and is rolled back when the connection closes, or the process dies,
// before its COMMIT; a batch that fails rolls the open transaction back, as on
// any session. After a failed open the next Run tries again.
//
// Thread safety: one call at a time (from any thread).
class KeptSqlConnection {
 public:
  explicit KeptSqlConnection(SqlCaller caller);
  ~KeptSqlConnection();
  KeptSqlConnection(const KeptSqlConnection&) = delete;
  KeptSqlConnection& operator=(const KeptSqlConnection&) = delete;

  // Runs one batch; column_count as RunSql takes it.
  SqlResult Run(const std::string& command, int column_count);
  // Closes the connection, rolling back a transaction left open.
  void Close();

 private:
  SqlCaller caller_;
  std::unique_ptr<sqlserver::Connection> connection_;
};

// The engines SqlEngine names: the embedded server (the default) or a
// PostgreSQL server (SqlServer is then "host" or "host,port").
inline constexpr const char* kEngineEmbedded = "embedded";
inline constexpr const char* kEnginePostgresql = "postgresql";

// The four connection values with the password in plain text, and the
// engine they are for.
struct SqlConnectionSettings {
  std::string server;
  std::string database;
  std::string user;
  std::string password;
  std::string engine = kEngineEmbedded;
};

// Whether engine (as SqlEngine holds it: letter case and blanks around it
// do not count) names the PostgreSQL engine; any other text names the
// embedded one.
bool IsPostgresqlEngine(const std::string& engine);

// An engine's name as typed by a person: kEngineEmbedded or
// kEnginePostgresql (letter case and blanks around it do not count), or ""
// for any other text (then kEngineChoiceError says why).
std::string EngineNamed(const std::string& typed);
inline constexpr const char* kEngineChoiceError = "The engine must be embedded or postgresql.";

// Reads SqlServer, SqlDatabase, SqlUser, SqlPassword (unscrambled) and
// SqlEngine from the settings store, afresh.
SqlConnectionSettings ReadConnectionSettings();
// The same values through a Settings (the pages and setup).
SqlConnectionSettings ReadConnectionSettings(Settings& settings);
// Stores the values, the password scrambled (SqlPassword).
void StoreConnectionSettings(Settings& settings, const SqlConnectionSettings& values);

// "Provider=SQLOLEDB;Data Source=" server ";Initial Catalog=" database
// ";User Id=" user ";Password=" password ";"; for the PostgreSQL engine the
// provider is "PostgreSQL". A value holding ";" (or beginning with a quote)
// is written in double quotes, a quote inside doubled.
std::string BuildConnectionString(const SqlConnectionSettings& settings);

// Reads a connection string (keys in any order and letter case; Server,
// Database, Uid, Pwd are accepted as synonyms; a value may be quoted with
// " or '). Provider "PostgreSQL" names that engine, any other (or none) the
// embedded one. False when a part is malformed; missing parts stay empty.
bool ParseConnectionString(const std::string& text, SqlConnectionSettings* settings);

// RunSql with explicit connection values instead of the stored settings
// (setup's database creation in "master", kivsql).
SqlResult RunSqlOn(const SqlConnectionSettings& settings, const std::string& command,
                   int column_count, SqlTimeouts timeouts);
// The same with the values in a connection string.
SqlResult RunSqlOn(const std::string& connection_string, const std::string& command,
                   int column_count, SqlTimeouts timeouts);
// RunSql(command, column_count, caller) with connection values and timeouts
// the caller has already read (kept connections for the web's callers).
SqlResult RunSqlOn(const SqlConnectionSettings& settings, const std::string& command,
                   int column_count, SqlCaller caller, SqlTimeouts timeouts);

// The embedded server's data folder: $TELLWEN_DATA, else
// /var/lib/tellwen/data. The one place it is read; every connection the
// session opens uses it.
std::string DataFolder();

// Opens a connection with the given plain-text values (not the stored ones).
// On failure returns false and fills source and description.
bool TestConnection(const SqlConnectionSettings& values, SqlTimeouts timeouts, std::string* source,
                    std::string* description);
// The same on the embedded engine.
bool TestConnection(const std::string& server, const std::string& database, const std::string& user,
                    const std::string& password, SqlTimeouts timeouts, std::string* source,
                    std::string* description);

}  // namespace tellwen
