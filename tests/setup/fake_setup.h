// Test support for setup's windows: a task runner that records the tasks it
// is asked to run and fails chosen ones, a database that connects or not on
// cue, and a starter that records the programs it is asked to start.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "setup/core/setup_database.h"
#include "setup/core/setup_tasks.h"

namespace tellwen::testing {

class FakeTaskRunner : public setup::TaskRunner {
 public:
  std::string Run(int task, const setup::SetupValues& values) override {
    std::lock_guard<std::mutex> lock(mutex_);
    runs_.push_back(task);
    last_values_ = values;
    return failing_.count(task) != 0 ? "Error: task " + std::to_string(task) + " failed" : "";
  }
  void Fail(int task) {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.insert(task);
  }
  void Heal() {
    std::lock_guard<std::mutex> lock(mutex_);
    failing_.clear();
  }
  std::vector<int> runs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return runs_;
  }
  setup::SetupValues last_values() {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_values_;
  }

 private:
  std::mutex mutex_;
  std::set<int> failing_;
  std::vector<int> runs_;
  setup::SetupValues last_values_;
};

class FakeSetupDatabase : public setup::SetupDatabase {
 public:
  bool Test(const SqlConnectionSettings& values, std::string* source,
            std::string* description) override {
    tested.push_back(values.database);
    *source = "Microsoft OLE DB Provider for SQL Server";
    *description = "Cannot open database \"" + values.database + "\" requested by the login.";
    return connects;
  }
  bool Create(const SqlConnectionSettings& values) override {
    created.push_back(values.database);
    return true;
  }
  bool connects = true;
  std::vector<std::string> tested, created;
};

class RecordingStarter : public setup::ProgramStarter {
 public:
  int Start(const std::string& program, const std::vector<std::string>& args) override {
    std::string line = program;
    for (const std::string& arg : args) line += " " + arg;
    started.push_back(line);
    return 0;
  }
  std::vector<std::string> started;
};

}  // namespace tellwen::testing
