// Test support: the programs' settings store and data folder in one scratch
// folder: TELLWEN_REGISTRY is path()/registry and TELLWEN_DATA path()/data
// (created), both put back and the folder removed at scope end.
// CreateDatabase() adds an empty database "kiv" on the embedded server and
// points the settings at it, the way setup leaves a machine.
//
// Thread safety: one test at a time (it sets environment variables).
#pragma once

#include <filesystem>
#include <string>

#include "common/db_session.h"
#include "common/kiv_registry.h"
#include "tests/support/temp_dir.h"

namespace tellwen::testing {

class ScratchStore {
 public:
  ScratchStore() { std::filesystem::create_directories(path() + "/data"); }
  ScratchStore(const ScratchStore&) = delete;
  ScratchStore& operator=(const ScratchStore&) = delete;

  const std::string& path() const { return dir_.path(); }

  // SqlServer "localhost", SqlDatabase "kiv", freshly created; the server's
  // error text when it could not be created ("" on success).
  std::string CreateDatabase() {
    CKIVRegistry settings;
    settings.SetValue("SqlServer", "localhost");
    settings.SetValue("SqlDatabase", "master");
    const SqlResult created = RunSql("create database [kiv]", 0, SqlCaller::kSetupDatabase);
    if (created.error) return created.error_text;
    settings.SetValue("SqlDatabase", "kiv");
    return "";
  }

 private:
  TempDir dir_;
  ScopedEnv registry_{"TELLWEN_REGISTRY", dir_.path() + "/registry"};
  ScopedEnv data_{"TELLWEN_DATA", dir_.path() + "/data"};
};

}  // namespace tellwen::testing
