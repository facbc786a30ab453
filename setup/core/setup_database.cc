#include "setup/core/setup_database.h"

namespace tellwen::setup {

bool MachineSetupDatabase::Test(const SqlConnectionSettings& values, std::string* source,
                                std::string* description) {
  return TestConnection(values, SqlTimeouts{15, 120}, source, description);
}

bool MachineSetupDatabase::Create(const SqlConnectionSettings& values) {
  SqlConnectionSettings master = values;
  master.database = "master";
  const SqlResult result = RunSqlOn(master, "create database [" + values.database + "]", 0,
                                    TimeoutsFor(SqlCaller::kSetupDatabase));
  return !result.error;
}

}  // namespace tellwen::setup
