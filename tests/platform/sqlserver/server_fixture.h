// Test support: a fresh data folder with the database "kiv" and helpers that
// run batches and return their first row set as texts (NULL as "NULL").
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sqlserver/sql_server.h"
#include "tests/support/temp_dir.h"

namespace tellwen::sqlserver {

using Rows = std::vector<std::vector<std::string>>;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto master = Connect("master");
    ASSERT_TRUE(master);
    BatchResult result;
    SqlError error;
    ASSERT_TRUE(master->Execute("create database [kiv]", &result, &error)) << error.description;
    conn_ = Connect("kiv");
    ASSERT_TRUE(conn_);
  }

  // The options of a local connection to database as sa, for a test to
  // adjust before Open.
  ConnectOptions Options(const std::string& database) const {
    ConnectOptions options;
    options.data_source = "localhost";
    options.database = database;
    options.user = "sa";
    options.data_dir = dir_.path();
    options.command_timeout_seconds = 30;
    return options;
  }

  std::unique_ptr<Connection> Open(const ConnectOptions& options) {
    SqlError error;
    auto c = Connection::Open(options, &error);
    last_open_error_ = error;
    return c;
  }

  std::unique_ptr<Connection> Connect(const std::string& database, const std::string& user = "sa",
                                      const std::string& password = "", int command_timeout = 30) {
    ConnectOptions options = Options(database);
    options.user = user;
    options.password = password;
    options.command_timeout_seconds = command_timeout;
    return Open(options);
  }

  static Rows ToRows(const BatchResult& result) {
    Rows rows;
    for (const auto& row : result.rows) {
      std::vector<std::string> r;
      for (const Value& v : row) r.push_back(v.IsNull() ? "NULL" : v.ToText());
      rows.push_back(std::move(r));
    }
    return rows;
  }

  // Runs a batch that must succeed; its first row set.
  Rows Run(const std::string& batch, Connection* c = nullptr) {
    BatchResult result;
    SqlError error;
    const bool ok = (c ? c : conn_.get())->Execute(batch, &result, &error);
    EXPECT_TRUE(ok) << batch << "\n-> " << error.description;
    return ToRows(result);
  }

  // The first field of the first row ("<none>" when there is no row).
  std::string One(const std::string& batch, Connection* c = nullptr) {
    Rows rows = Run(batch, c);
    return rows.empty() || rows[0].empty() ? "<none>" : rows[0][0];
  }

  // Runs a batch that must fail; the error's description.
  std::string Error(const std::string& batch, Connection* c = nullptr) {
    BatchResult result;
    SqlError error;
    const bool ok = (c ? c : conn_.get())->Execute(batch, &result, &error);
    EXPECT_FALSE(ok) << batch;
    EXPECT_EQ(error.source, "Microsoft OLE DB Provider for SQL Server");
    return error.description;
  }

  testing::TempDir dir_;
  std::unique_ptr<Connection> conn_;
  SqlError last_open_error_;
};

}  // namespace tellwen::sqlserver
