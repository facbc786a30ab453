// Running a system program to its end: the account tools, crontab, and a
// program whose outcome the caller needs (a headless setup waiting for the
// database set-up).
//
// The program is started with posix_spawnp (PATH is searched when the name
// holds no "/"), stdin_text is written to its standard input (closed after
// it), and its standard output and error are collected as capture says:
// together into output, apart (output and errors: a program whose output is
// data, such as crontab -l), or not at all (they go where the caller's go).
//
// Thread safety: any thread; calls share nothing.
#pragma once

#include <string>
#include <vector>

namespace tellwen::desktop {

enum class Capture { kNone, kTogether, kApart };

struct ProgramRun {
  int spawn_error = 0;  // errno of the start; 0 when the program ran
  int exit_code = 0;    // its exit code; 128 + signal when a signal ended it
  std::string output;   // stdout, and stderr too when captured together
  std::string errors;   // stderr when captured apart
  bool ok() const { return spawn_error == 0 && exit_code == 0; }
};

// Runs argv (argv[0] the program) and waits for it to end.
// REQUIRES: argv not empty.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& stdin_text = "",
                      Capture capture = Capture::kTogether);

}  // namespace tellwen::desktop
