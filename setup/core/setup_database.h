// SetupDatabase: what setup asks of the database server beyond running a
// batch: the connection test with given values, and the creation of the
// database from "master". MachineSetupDatabase is the embedded server's;
// tests use a fake that fails on cue.
//
// Thread safety: MachineSetupDatabase keeps no state; any thread.
#pragma once

#include <string>

#include "common/db_session.h"

namespace tellwen::setup {

class SetupDatabase {
 public:
  virtual ~SetupDatabase() = default;
  // Opens a connection with these values (setup's timeouts, 15 and 120 s).
  // On failure false, with the error's source and description.
  virtual bool Test(const SqlConnectionSettings& values, std::string* source,
                    std::string* description) = 0;
  // Runs "create database [" + values.database + "]" connected to "master".
  // False on any failure; nothing is shown.
  virtual bool Create(const SqlConnectionSettings& values) = 0;
};

class MachineSetupDatabase final : public SetupDatabase {
 public:
  bool Test(const SqlConnectionSettings& values, std::string* source,
            std::string* description) override;
  bool Create(const SqlConnectionSettings& values) override;
};
}  // namespace tellwen::setup
