// A scratch installation for one benchmark run: a fresh folder under /tmp
// holding the settings store (TELLWEN_REGISTRY) and the data folder
// (TELLWEN_DATA), both pointed to by this process's environment, the
// settings the update job needs, and an empty database "kiv" that the
// settings name.
//
// Thread safety: call once, before any other thread starts (it sets
// environment variables).
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <iostream>
#include <string>

#include "common/db_session.h"
#include "common/kiv_registry.h"

namespace tellwen::bench {

// The folder ("/tmp/<prefix>.XXXXXX"), or "" with the reason on stderr.
inline std::string MakeBenchWorkspace(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + ".XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::cerr << "cannot make a folder like " << pattern << "\n";
    return "";
  }
  const std::string dir = pattern;
  setenv("TELLWEN_REGISTRY", (dir + "/registry").c_str(), 1);
  setenv("TELLWEN_DATA", (dir + "/data").c_str(), 1);
  mkdir((dir + "/data").c_str(), 0700);
  CKIVRegistry settings;
  settings.SetValue("TemporaryFolder", dir + "/");
  settings.SetValue("SqlLogFolder", dir + "/");
  settings.SetValue("SqlServer", "localhost");
  settings.SetValue("SqlDatabase", "master");
  const SqlResult created = RunSql("create database [kiv]", 0, SqlCaller::kSetupDatabase);
  if (created.error) {
    std::cerr << "create database failed: " << created.error_text << "\n";
    return "";
  }
  settings.SetValue("SqlDatabase", "kiv");
  settings.SetValue("LastIndexData", "2002-02-15 17:38:32");
  return dir;
}

}  // namespace tellwen::bench
