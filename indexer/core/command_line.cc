#include "indexer/core/command_line.h"

namespace tellwen::indexer {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool first = true;
  for (const std::string& argument : arguments) {
    if (argument == "--headless") {
      line.headless = true;
      continue;
    }
    if (!first) line.text += ' ';
    line.text += argument;
    first = false;
  }
  size_t begin = line.text.find_first_not_of(" \t");
  size_t end = line.text.find_last_not_of(" \t");
  line.text = begin == std::string::npos ? "" : line.text.substr(begin, end - begin + 1);
  if (line.text == "/index") {
    line.index = line.silent = true;
  } else if (line.text == "/updatedb") {
    line.update = line.silent = true;
  } else if (line.text == "/setup") {
    line.update = line.setup = line.silent = true;
  } else if (line.text == "--help" || line.text == "-h") {
    line.help = true;
  }
  return line;
}

std::string UsageText() {
  return "Usage: KIVIndexer [--headless] [/index | /updatedb | /setup | --help]\n"
         "  /index     scan the network into the index file and the output file\n"
         "  /updatedb  load the index file into the database\n"
         "  /setup     create the catalog on an empty index\n"
         "Without a switch the main window opens (it needs a display).\n"
         "With a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set) the jobs show\n"
         "their windows; --headless, or no display, prints their progress instead.\n"
         "Settings come from $TELLWEN_REGISTRY; $TELLWEN_SMB_PORT sets the SMB port.\n"
         "A headless /index run stops on SIGINT or SIGTERM, keeping what was written.\n"
         "Exit status: 0 done, 1 not started, stopped or failed, 2 bad use.\n";
}

}  // namespace tellwen::indexer
