// Running a short-lived helper program (crontab, systemctl) and collecting
// what it printed: its standard input is given as text, its output and
// error output come back whole, and the caller waits for its end.
//
// Thread safety: may be called from any thread.
#pragma once

#include <string>
#include <vector>

namespace tellwen::admin {

struct RunResult {
  int spawn_error = 0;  // errno when the program could not be started
  int exit_code = 0;    // the exit code; 128 + signal when a signal ended it
  std::string out;
  std::string err;
  bool ok() const { return spawn_error == 0 && exit_code == 0; }
};

// Runs argv (argv[0] looked up in PATH) with input on its standard input.
// Temporary files rather than pipes carry the three streams, so large
// output cannot dead-lock the exchange.
RunResult RunProgram(const std::vector<std::string>& argv, const std::string& input = "");

}  // namespace tellwen::admin
