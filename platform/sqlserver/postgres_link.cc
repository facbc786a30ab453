#include "platform/sqlserver/postgres_link.h"

#include <libpq-fe.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/text_trim.h"
#include "base/utf8_text.h"
#include "platform/sqlserver/sql_error.h"

namespace tellwen::sqlserver {
namespace {

// The type numbers of the server's built-in types (pg_type.oid; fixed
// across versions).
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700;

// The first line of a libpq message, without its severity word.
std::string FirstLine(const char* message) {
  std::string text = message ? message : "";
  const size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  for (const char* severity : {"FATAL:", "ERROR:"}) {
    if (text.rfind(severity, 0) == 0) text = text.substr(strlen(severity));
  }
  return Trim(text);
}

// The first double-quoted name in a message ("relation \"t\" does not exist").
std::string QuotedName(const std::string& message) {
  const size_t open = message.find('"');
  const size_t close = open == std::string::npos ? open : message.find('"', open + 1);
  return close == std::string::npos ? "" : message.substr(open + 1, close - open - 1);
}

// The server's error in SQL Server's words where the programs know them;
// its own words otherwise.
std::string ErrorText(const PGresult* result, const std::string& message) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  if (state == nullptr) return message;
  const std::string code = state;
  auto field = [&](int id) {
    const char* value = PQresultErrorField(result, id);
    return std::string(value ? value : "");
  };
  if (code == "42P01") return "Invalid object name '" + QuotedName(message) + "'.";
  if (code == "42703") {
    // 'column "x" does not exist', 'column t.x does not exist'
    std::string name = message.rfind("column ", 0) == 0 ? message.substr(7) : message;
    name = name.substr(0, name.find(" does not exist"));
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    return "Invalid column name '" + name.substr(name.rfind('.') + 1) + "'.";
  }
  if (code == "42702") return "Ambiguous column name '" + QuotedName(message) + "'.";
  if (code == "42701") {
    return "Column names in each table must be unique. Column name '" + QuotedName(message) +
           "' is specified more than once.";
  }
  if (code == "42601" && message.rfind("INSERT has more", 0) == 0) {
    return "Insert Error: Column name or number of supplied values does not match table "
           "definition.";
  }
  if (code == "42P07") {
    return "There is already an object named '" + QuotedName(message) + "' in the database.";
  }
  if (code == "23502") {
    return "Cannot insert the value NULL into column '" + field(PG_DIAG_COLUMN_NAME) +
           "', table '" + field(PG_DIAG_TABLE_NAME) +
           "'; column does not allow nulls. INSERT fails.";
  }
  if (code == "23505") {
    // The detail names the key: "Key (a)=(1) already exists."
    const std::string detail = field(PG_DIAG_MESSAGE_DETAIL);
    const size_t open = detail.find('('), close = detail.find(')');
    const std::string key =
        open == std::string::npos || close < open ? "" : detail.substr(open + 1, close - open - 1);
    return "Cannot insert duplicate key row in object with unique index (" +
           field(PG_DIAG_TABLE_NAME) + "." + key + ").";
  }
  if (code == "22001") return "String or binary data would be truncated.";
  if (code == "22012") return "Divide by zero error encountered.";
  if (code == "22P02" && message.rfind("invalid input syntax for type ", 0) == 0) {
    // 'invalid input syntax for type integer: "x"'
    const std::string type = message.substr(30, message.find(':') - 30);
    return "Conversion failed when converting the varchar value '" + QuotedName(message) +
           "' to data type " + (type == "integer" ? "int" : type) + ".";
  }
  if (code == "22003" && message.find("integer out of range") != std::string::npos) {
    return "Arithmetic overflow error converting expression to data type int.";
  }
  if (code == "57014") return "Query timeout expired";
  if (code == "55P03") return kLockTimeoutText;
  return message;
}

// A text as the server (UTF-8) takes it: bytes that are not UTF-8 (an index
// file's Latin-1 names, a request's bytes) are read as Latin-1 rather than
// refused with the whole statement.
std::string ServerText(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return Utf8WithLatin1Bytes(text);
  }
  return text;
}

Value ValueOf(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return Value::Null();
  const char* text = PQgetvalue(result, row, column);
  switch (PQftype(result, column)) {
    case kBool:
      return Value::Int(text[0] == 't' ? 1 : 0);
    case kInt2:
    case kInt4:
    case kInt8:
      return Value::Int(std::strtoll(text, nullptr, 10));
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return Value::Float(std::strtod(text, nullptr));
    default:
      return Value::Text(std::string(text, PQgetlength(result, row, column)));
  }
}

// Whether sql begins with one of words (a keyword: no letter after it).
bool StartsWithKeyword(const std::string& sql, std::initializer_list<const char*> words) {
  size_t start = sql.find_first_not_of(" \t\r\n(");
  if (start == std::string::npos) return false;
  for (const char* word : words) {
    const size_t n = std::strlen(word);
    if (sql.size() - start > n && strncasecmp(sql.c_str() + start, word, n) == 0 &&
        !std::isalnum(static_cast<unsigned char>(sql[start + n]))) {
      return true;
    }
  }
  return false;
}

// Whether sql changes what tables are: a CREATE, DROP or ALTER.
bool IsSchemaChange(const std::string& sql) {
  return StartsWithKeyword(sql, {"create", "drop", "alter"});
}

// The statements worth preparing: queries and row changes.
bool IsPreparable(const std::string& sql) {
  return StartsWithKeyword(sql, {"select", "insert", "update", "delete", "with"});
}

std::string SqlState(const PGresult* result) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  return state ? state : "";
}

}  // namespace

bool ParsePostgresDataSource(const std::string& raw, PostgresAddress* address) {
  std::string name = Trim(raw);
  if (strncasecmp(name.c_str(), "tcp:", 4) == 0) name = Trim(name.substr(4));
  const size_t comma = name.find(',');
  address->host = Trim(name.substr(0, comma));
  address->port = 5432;
  if (address->host.empty() || address->host.find_first_of(" \t=\\'") != std::string::npos) {
    return false;
  }
  if (comma == std::string::npos) return true;
  const std::string port = Trim(name.substr(comma + 1));
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  address->port = std::atoi(port.c_str());
  return address->port >= 1 && address->port <= 65535;
}

std::unique_ptr<PostgresLink> PostgresLink::Open(const ConnectOptions& options, SqlError* error) {
  error->source = kErrorSource;
  PostgresAddress address;
  if (!ParsePostgresDataSource(options.data_source, &address)) {
    error->description = "The data source \"" + options.data_source +
                         "\" does not name a PostgreSQL server (\"host\" or \"host,port\").";
    return nullptr;
  }
  const std::string port = std::to_string(address.port);
  const std::string database =
      options.database.empty() || strcasecmp(options.database.c_str(), "master") == 0
          ? "postgres"
          : options.database;
  // libpq waits at least 2 seconds when given a timeout at all.
  const std::string connect_timeout = std::to_string(
      options.connection_timeout_seconds <= 0 ? 0
                                              : std::max(2, options.connection_timeout_seconds));
  const std::string server_options =
      "-c statement_timeout=" + std::to_string(std::max(0, options.command_timeout_seconds)) +
      "s -c DateStyle=ISO,YMD -c IntervalStyle=postgres"
      // Literals are written into statements with their quotes doubled: a
      // backslash must never escape one.
      " -c standard_conforming_strings=on";
  const char* keys[] = {"host",
                        "port",
                        "dbname",
                        "user",
                        "password",
                        "connect_timeout",
                        "options",
                        "application_name",
                        "client_encoding",
                        nullptr};
  const char* values[] = {address.host.c_str(),
                          port.c_str(),
                          database.c_str(),
                          options.user.c_str(),
                          options.password.c_str(),
                          connect_timeout.c_str(),
                          server_options.c_str(),
                          "tellwen",
                          "UTF8",
                          nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, /*expand_dbname=*/0);
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    error->description = conn ? FirstLine(PQerrorMessage(conn)) : "out of memory";
    if (error->description.empty())
      error->description = "The PostgreSQL server refused the connection.";
    PQfinish(conn);
    return nullptr;
  }
  return std::unique_ptr<PostgresLink>(new PostgresLink(conn));
}

PostgresLink::~PostgresLink() { PQfinish(conn_); }

void PostgresLink::Run(const std::string& sql, const std::vector<Value>& params,
                       PostgresRows* rows) {
  std::vector<std::string> texts(params.size());
  std::vector<const char*> pointers(params.size(), nullptr);
  std::vector<Oid> types(params.size(), 0);
  for (size_t i = 0; i < params.size(); ++i) {
    const Value& v = params[i];
    if (v.IsNull()) continue;
    if (v.type == Value::Type::kInt) {
      types[i] = kInt8;
      texts[i] = std::to_string(v.i);
    } else if (v.type == Value::Type::kFloat) {
      types[i] = kFloat8;
      texts[i] = FormatFloat(v.f);
    } else {
      texts[i] = ServerText(v.s);
    }
    pointers[i] = texts[i].c_str();
  }
  const std::string text = ServerText(sql);
  if (IsSchemaChange(text)) ForgetPrepared();
  std::string key;
  if (IsPreparable(text)) {
    key.reserve(text.size() + params.size() * 4);
    for (Oid type : types) key += std::to_string(type) + ",";
    key += text;
  }
  const std::string name = key.empty() ? "" : Prepared(key, text, types);
  PGresult* result = name.empty()
                         ? PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()),
                                        types.data(), pointers.data(), nullptr, nullptr, 0)
                         : PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()),
                                          pointers.data(), nullptr, nullptr, 0);
  if (!name.empty() && PQresultStatus(result) == PGRES_FATAL_ERROR && SqlState(result) == "0A000") {
    // A table the statement reads changed its columns since it was
    // prepared: it is prepared afresh later (names are never reused, so one
    // left on the server by a failed transaction is harmless), and runs
    // unprepared now unless a transaction already failed with it.
    ForgetPrepared();
    if (!InTransaction()) {
      PQclear(result);
      result = PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()), types.data(),
                            pointers.data(), nullptr, nullptr, 0);
    }
  }
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail(result);
  if (rows != nullptr) {
    rows->column_names.clear();
    rows->rows.clear();
    const int columns = PQnfields(result);
    for (int c = 0; c < columns; ++c) rows->column_names.push_back(PQfname(result, c));
    const int count = PQntuples(result);
    rows->rows.reserve(count);
    for (int r = 0; r < count; ++r) {
      std::vector<Value> row;
      row.reserve(columns);
      for (int c = 0; c < columns; ++c) row.push_back(ValueOf(result, r, c));
      rows->rows.push_back(std::move(row));
    }
    const char* changed = PQcmdTuples(result);
    rows->changed = changed && *changed ? std::strtoll(changed, nullptr, 10) : 0;
  }
  PQclear(result);
}

std::string PostgresLink::Prepared(const std::string& key, const std::string& sql,
                                   const std::vector<unsigned>& types) {
  // Enough for every fixed statement of the programs; a connection that
  // runs more distinct texts starts over.
  constexpr size_t kMostStatements = 512;
  auto found = prepared_.find(key);
  if (found == prepared_.end()) {
    if (prepared_.size() >= kMostStatements) ForgetPrepared();
    prepared_.emplace(key, -1);
    return "";
  }
  if (found->second >= 0) return "tw" + std::to_string(found->second);
  // A failed transaction refuses the PREPARE too: try again after it.
  if (InTransaction() && PQtransactionStatus(conn_) == PQTRANS_INERROR) return "";
  const int number = next_statement_++;
  const std::string name = "tw" + std::to_string(number);
  PGresult* result =
      PQprepare(conn_, name.c_str(), sql.c_str(), static_cast<int>(types.size()), types.data());
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!ok) {
    // The run unprepared says why (and, in a transaction, finds it failed).
    prepared_.erase(found);
    return "";
  }
  found->second = number;
  return name;
}

void PostgresLink::ForgetPrepared() {
  if (!prepared_.empty()) {
    bool any = false;
    for (const auto& [key, number] : prepared_) any = any || number >= 0;
    if (any && PQtransactionStatus(conn_) != PQTRANS_INERROR) {
      PQclear(PQexec(conn_, "DEALLOCATE ALL"));
    }
  }
  prepared_.clear();
}

int64_t PostgresLink::Copy(const std::string& copy_sql, const std::string& data) {
  PGresult* result = PQexec(conn_, ServerText(copy_sql).c_str());
  if (PQresultStatus(result) != PGRES_COPY_IN) Fail(result);
  PQclear(result);
  const std::string text = ServerText(data);
  if (PQputCopyData(conn_, text.data(), static_cast<int>(text.size())) != 1 ||
      PQputCopyEnd(conn_, nullptr) != 1) {
    Fail(nullptr);
  }
  result = PQgetResult(conn_);
  // The COPY's own result, then the end of the command (nullptr).
  for (PGresult* more = PQgetResult(conn_); more != nullptr; more = PQgetResult(conn_)) {
    PQclear(more);
  }
  if (PQresultStatus(result) != PGRES_COMMAND_OK) Fail(result);
  const char* changed = PQcmdTuples(result);
  const int64_t rows = changed && *changed ? std::strtoll(changed, nullptr, 10) : 0;
  PQclear(result);
  return rows;
}

void PostgresLink::Fail(PGresult* result) {
  std::string message = FirstLine(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
  if (message.empty()) message = FirstLine(PQerrorMessage(conn_));
  if (message.empty()) message = "The PostgreSQL server failed the statement.";
  message = ErrorText(result, message);
  PQclear(result);
  ThrowSql(message);
}

bool PostgresLink::InTransaction() const {
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

bool PostgresLink::Alive() const { return PQstatus(conn_) == CONNECTION_OK; }

}  // namespace tellwen::sqlserver
