// Running a system program to its end: the account tools, crontab, and a
// program whose outcome the caller needs (a headless setup waiting for the
// database set-up).
//
// The program is started with posix_spawnp (PATH is searched when the name
// holds no "/"), stdin_text is written to its standard input (closed after
// it), and, with capture set, its standard output and error are collected
// together into output; without it they go where the caller's go.
//
// Thread safety: any thread; calls share nothing.
#pragma once

#include <string>
#include <vector>

namespace tellwen::desktop {

struct ProgramRun {
  int spawn_error = 0;  // errno of the start; 0 when the program ran
  int exit_code = 0;    // its exit code; 128 + signal when a signal ended it
  std::string output;   // stdout and stderr when captured
  bool ok() const { return spawn_error == 0 && exit_code == 0; }
};

// Runs argv (argv[0] the program) and waits for it to end.
// REQUIRES: argv not empty.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& stdin_text = "",
                      bool capture = true);

}  // namespace tellwen::desktop
