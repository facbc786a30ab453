// The Database page's values and its connection test.
//
// SqlPassword is kept scrambled in the store (common/password.h): it is
// unscrambled when the page loads and scrambled again when it is applied. The
// plain password lives only in the page's hidden-character box and in the
// values passed to the test; nothing here writes it to a log or a message.
//
// The test opens a connection with the values as typed (not the stored
// ones), through the connection string the programs use
// (common/db_session.h BuildConnectionString), so any character typed into a
// box, ";" and quotes included, reaches the server as typed.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings. RunConnectionTest may run on any thread (it touches no window).
#pragma once

#include <functional>
#include <string>

#include "base/user_messages.h"
#include "common/db_session.h"
#include "common/settings.h"

namespace tellwen::admin {

struct DatabaseValues {
  std::string server;
  std::string database;
  std::string user;
  std::string password;                  // plain
  std::string connection_timeout;        // seconds, as typed
  std::string command_timeout;           // seconds, as typed
  std::string engine = kEngineEmbedded;  // SqlEngine
};

DatabaseValues LoadDatabaseValues(Settings& settings);
// Writes SqlServer, SqlDatabase, SqlUser, SqlPassword (scrambled), SqlEngine,
// QueryConnectionTimeout and QueryCommandTimeout.
void StoreDatabaseValues(Settings& settings, const DatabaseValues& values);

// "&Defaults": the table defaults of the two timeouts (the store untouched).
void PutDefaultTimeouts(Settings& settings, DatabaseValues* values);

// Opens and closes a connection; false with the error's source and
// description on failure.
using ConnectionOpener =
    std::function<bool(const std::string& connection_string, SqlTimeouts timeouts,
                       std::string* source, std::string* description)>;
// The programs' own: the string read back (ParseConnectionString: its
// provider names the engine) and opened with TestConnection.
bool OpenDatabaseConnection(const std::string& connection_string, SqlTimeouts timeouts,
                            std::string* source, std::string* description);

struct ConnectionTestResult {
  bool passed = false;
  std::string text;  // "Test PASSED!" or "Test FAILED!\nSource: '...'\nDescription: '...'"
  MessageIcon icon = MessageIcon::kInformation;
};

inline constexpr const char* kTestingConnection = "testing connection...";
inline constexpr const char* kPleaseWait = "please wait!";

// The test of "&Test": the timeouts are the integer values of their boxes.
ConnectionTestResult RunConnectionTest(const DatabaseValues& values,
                                       const ConnectionOpener& opener = OpenDatabaseConnection);

}  // namespace tellwen::admin
