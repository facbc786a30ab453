// The command line of kivadmin: what every command group gets (its
// arguments, the --json and --yes flags, the settings, the output streams),
// the exit codes, and the printing of values and lists as text or JSON.
//
// Exit codes: 0 done; 1 a rule refused (the page's message on stderr), a
// question was answered "no", or the work failed; 2 a bad command line
// (with the group's usage).
//
// Questions of the pages (base/user_messages.h) are answered "yes" only
// with --yes; without it the safe answer is taken and said.
//
// Thread safety: one command per process, on the main thread.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "common/settings.h"

namespace tellwen::kivadmin {

inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;
inline constexpr int kBadCommandLine = 2;

struct Cli {
  std::string group;              // the command group ("include", "show", ...)
  std::vector<std::string> args;  // after the group, without the flags
  bool json = false;
  bool yes = false;
  std::string password_file;  // --password-file FILE
  Settings& settings;
  std::ostream& out;
  std::ostream& err;

  // Says problem and the group's usage on stderr; returns kBadCommandLine.
  int Usage(const std::string& problem) const;
  // Says message on stderr; returns kRefused.
  int Refuse(const std::string& message) const;
  // Prints lines, one per line, or as a JSON array of strings.
  void PrintList(const std::vector<std::string>& lines) const;
  // Prints "name: value" rows, or a JSON object.
  void PrintRows(const std::vector<std::pair<std::string, std::string>>& rows) const;
};

// text as a JSON string, quotes included.
std::string JsonString(const std::string& text);

// The usage line(s) of a group, or of every group for "".
std::string UsageText(const std::string& group);

// Installs the message channel of the pages' questions and boxes: boxes
// and questions on stderr, questions answered by yes.
void InstallCliMessages(std::ostream& err, bool yes);

// Returns "" and the first line of path in *text, or why it cannot be read.
std::string ReadFirstLine(const std::string& path, std::string* text);

}  // namespace tellwen::kivadmin
