// Test support: a real PostgreSQL server of the test's own, in a scratch
// folder (initdb, then pg_ctl), listening on 127.0.0.1 at a free port and on
// a socket in that folder. Started as root, the server runs as the account
// of RunAsAccount() ("nobody"): PostgreSQL refuses to run as root.
//
// The cluster's superuser is kUser with the password password(); the
// server asks every client for it (scram-sha-256), so a wrong password is
// refused as on a real installation. fsync is off: the cluster is thrown
// away with the object (pg_ctl stop -m immediate).
//
// Thread safety: one thread owns the object; the accessors may be read
// anywhere.
#pragma once

#include <memory>
#include <string>

#include "platform/sqlserver/connect_options.h"

namespace tellwen::testing {

class PostgresServer {
 public:
  static constexpr const char* kUser = "tellwen";

  // A running server, or nullptr with why it could not start in *why (no
  // PostgreSQL installed, initdb or the start failed: its log's end).
  static std::unique_ptr<PostgresServer> Start(std::string* why);
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  int port() const { return port_; }
  const std::string& password() const { return password_; }
  // "127.0.0.1,<port>": the server as a connection string's Data Source names it.
  std::string DataSource() const;
  // The options of a connection to database on this server as kUser
  // (timeouts: 5 s to connect, 30 s per batch), for a test to adjust.
  sqlserver::ConnectOptions Options(const std::string& database) const {
    sqlserver::ConnectOptions o;
    o.engine = sqlserver::SqlEngine::kPostgresql;
    o.data_source = DataSource();
    o.database = database;
    o.user = kUser;
    o.password = password_;
    o.connection_timeout_seconds = 5;
    o.command_timeout_seconds = 30;
    return o;
  }
  // Runs sql with psql as the superuser in database (over the socket);
  // true when it succeeded. Its output goes to *output when given.
  bool Psql(const std::string& database, const std::string& sql,
            std::string* output = nullptr) const;

 private:
  PostgresServer() = default;
  std::string bin_;   // the server's programs
  std::string root_;  // scratch folder: data/, the socket, the log
  std::string password_;
  int port_ = 0;
  bool started_ = false;
};

}  // namespace tellwen::testing
