// The command line of KIVIndexer: the text after the program name, compared
// whole and case-sensitively with "/index", "/updatedb" and "/setup" (blanks
// around it are ignored). Any other text sets no flag, as none does;
// "--help" asks for the usage text. "--headless", anywhere, is taken out
// before the comparison: it keeps the program from opening windows.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <vector>

namespace tellwen::indexer {

struct CommandLine {
  bool index = false;     // /index
  bool update = false;    // /updatedb or /setup
  bool setup = false;     // /setup
  bool silent = false;    // any of the three
  bool help = false;      // --help
  bool headless = false;  // --headless: no windows even with a display
  std::string text;       // the command-line text as compared
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace tellwen::indexer
