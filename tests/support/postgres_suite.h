// Test support: a GoogleTest suite whose tests share one PostgreSQL server
// (postgres_server.h), started before the suite's first test and stopped
// after its last. A test is skipped, with the reason, when it cannot start.
//
// Thread safety: the suite's tests run one at a time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/postgres_server.h"

namespace tellwen::testing {

class PostgresSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = PostgresServer::Start(&why_); }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override {
    if (!server_) GTEST_SKIP() << "no PostgreSQL server: " << why_;
  }

  static inline std::unique_ptr<PostgresServer> server_;
  static inline std::string why_;
};

}  // namespace tellwen::testing
