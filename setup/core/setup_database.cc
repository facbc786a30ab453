#include "setup/core/setup_database.h"

#include "common/password.h"

namespace tellwen::setup {

bool MachineSetupDatabase::Test(const SqlConnectionSettings& values, std::string* source,
                                std::string* description) {
  return TestConnection(values.server, values.database, values.user, values.password,
                        SqlTimeouts{15, 120}, source, description);
}

bool MachineSetupDatabase::Create(const SqlConnectionSettings& values) {
  SqlConnectionSettings master = values;
  master.database = "master";
  const SqlResult result = RunSqlOn(master, "create database [" + values.database + "]", 0,
                                    TimeoutsFor(SqlCaller::kSetupDatabase));
  return !result.error;
}

SqlConnectionSettings StoredConnection(Settings& settings) {
  SqlConnectionSettings values;
  values.server = settings.GetValue("SqlServer");
  values.database = settings.GetValue("SqlDatabase");
  values.user = settings.GetValue("SqlUser");
  values.password = UnscramblePassword(settings.GetValue("SqlPassword"));
  return values;
}

void StoreConnection(Settings& settings, const SqlConnectionSettings& values) {
  settings.SetValue("SqlServer", values.server);
  settings.SetValue("SqlDatabase", values.database);
  settings.SetValue("SqlUser", values.user);
  settings.SetValue("SqlPassword", ScramblePassword(values.password));
}

}  // namespace tellwen::setup
