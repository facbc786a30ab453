// Connections of the embedded SQL server kept between calls, a few per set
// of connect options (database, login, password, timeouts and the rest), so
// that a call does not pay for opening a connection and checking its login.
//
// A kept connection is handed out again only when it is as a fresh one would
// be: its last batch succeeded and Connection::Reset left it clean (no open
// transaction, no temp tables, options back to their defaults); a connection
// whose batch failed is closed. The logins and databases live in the data
// folder's master.sqlite: when that file changed since a connection was
// opened (a password altered, a database dropped), the connection is closed
// and a new one checks the login again. What other connections commit to the
// database is seen by a kept connection as by a new one (sql_server.h).
//
// Thread safety: any number of threads at once (one lock around the idle
// connections; opening and closing happen outside it).
#pragma once

#include <memory>
#include <string>

#include "platform/sqlserver/connect_options.h"
#include "platform/sqlserver/sql_server.h"

namespace tellwen {

// A connection taken from the pool, with what it was opened against.
struct PooledConnection {
  std::unique_ptr<sqlserver::Connection> connection;
  std::string key;          // the connect options it was opened with
  std::string master_mark;  // master.sqlite's state when it was opened
};

// A connection for options: a kept one, or a new one; connection is null and
// *error filled when none could be opened.
PooledConnection TakePooledConnection(const sqlserver::ConnectOptions& options,
                                      sqlserver::SqlError* error);

// Gives back a connection whose last batch succeeded: kept when Reset leaves
// it clean and there is room (32 idle per set of options, 96 in all), else
// closed.
void GivePooledConnection(PooledConnection pooled);

}  // namespace tellwen
