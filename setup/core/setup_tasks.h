// The five installation tasks, the database check that comes before them the
// first time, and the texts of the tasks page.
//
// Each task takes the values the user confirmed and returns "" when it
// succeeded or the error text its status field shows ("Error: ..." or the
// failed operation named). A task never stops at a failure of another: the
// wizard and the headless run both run all five in order. Running the tasks
// again rewrites every file and creates the account afresh.
//
// Task 3 makes the web account a system account of the group through which
// the site gets its rights, never an administrator; task 4 gives that group
// exactly what the site uses: kivweb's configuration names the account,
// the scripts folder (chart cache), the settings hive (counter) and the
// databases' folder (catalog and log) become group-owned, setgid and
// group-writable, and kivweb, started as root, keeps only CAP_NET_RAW for
// the on-demand ping when it changes to the account.
//
// Thread safety: one SetupTasks is used by one thread at a time (the wizard
// runs each task on a thread of its own, one after the other).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_env.h"
#include "common/db_session.h"
#include "common/settings.h"
#include "setup/core/setup_database.h"
#include "setup/core/setup_paths.h"

namespace tellwen::setup {

inline constexpr int kTaskCount = 5;

// The values setup works with: the two folders (each ending in "/") and the
// database's connection values.
struct SetupValues {
  std::string root;
  std::string scripts;
  SqlConnectionSettings database;
};

// Starts a program of the install folder. Returns 0 when it was started (or,
// for a starter that waits, ran successfully), otherwise a code for the
// error text (an errno value, or the exit code of a program waited for).
class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;
  virtual int Start(const std::string& program, const std::vector<std::string>& args) = 0;
};

// "1. Install web server application:" ... "5. Setting up the database:".
const char* TaskTitle(int task);

inline constexpr const char* kTaskRunning = "running. please wait... ";
inline constexpr const char* kTaskDone = "done";

// Stores what leaving the database page stores: the four connection values
// (the password scrambled). The folders get their final "/" here.
SetupValues ConfirmValues(Settings& settings, const std::string& root, const std::string& scripts,
                          const SqlConnectionSettings& database);

// The offer "Create a database?": its title, its upper text (what the failed
// test said) and its lower text (the advice).
inline constexpr const char* kCreateDatabaseTitle = "Create a database?";
struct DatabaseOfferTexts {
  std::string upper;
  std::string lower;
};

// The first look at the database: nullopt when the stored values connect,
// else the texts of the offer.
std::optional<DatabaseOfferTexts> DatabaseOffer(SetupDatabase& database,
                                                const SqlConnectionSettings& values);

// Runs one of the five tasks: "" on success, else the task's error text.
// The wizard runs it on a thread of its own; tests put a fake in its place.
class TaskRunner {
 public:
  virtual ~TaskRunner() = default;
  // REQUIRES: 1 <= task <= kTaskCount.
  virtual std::string Run(int task, const SetupValues& values) = 0;
};

class SetupTasks final : public TaskRunner {
 public:
  // files: the file access of the copies (null: the real file system).
  SetupTasks(Settings& settings, SetupDatabase& database, ProgramStarter& starter, SetupPaths paths,
             FileEnv* files = nullptr);

  std::string Run(int task, const SetupValues& values) override;

  std::string InstallApplication(const SetupValues& values);  // 1
  std::string InstallDataFiles(const SetupValues& values);    // 2
  std::string CreateUser();                                   // 3
  std::string AssignUser(const SetupValues& values);          // 4
  std::string SetUpDatabase();                                // 5

 private:
  Settings& settings_;
  SetupDatabase& database_;
  ProgramStarter& starter_;
  SetupPaths paths_;
  FileEnv* files_;
};

// Copies source over target: "" when the copy worked, else "Operation failed
// when trying to copy '" + source + "' to '" + target + "' " + " (Error:
// 0x%x).". The copy is written beside target and renamed over it when
// whole, so a failure (a full disk) leaves the old target as it was: a web
// server running the extension never loads a cut one.
std::string ReplaceFile(const std::string& source, const std::string& target,
                        FileEnv* env = nullptr);

}  // namespace tellwen::setup
