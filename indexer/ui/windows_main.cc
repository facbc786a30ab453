// KIVIndexer's windows as the plugin that KIVIndexer loads to show them
// (platform/desktop/windows_plugin.h): the same command line, read again.
#include <string>
#include <vector>

#include "indexer/core/command_line.h"
#include "indexer/core/update_headless.h"
#include "indexer/ui/run_windows.h"

extern "C" __attribute__((visibility("default"))) int tellwen_windows_main(int argc, char** argv) {
  using namespace tellwen;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const indexer::CommandLine line = indexer::ParseCommandLine(arguments);
  return indexer::RunWithWindows(argc, argv, line, indexer::RecoverUnfinishedUpdateAtStart);
}
