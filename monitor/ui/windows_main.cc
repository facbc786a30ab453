// KIVMonitor's window as the plugin that KIVMonitor loads to show it
// (platform/desktop/windows_plugin.h).
#include "monitor/ui/run_window.h"
#include "platform/desktop/program_folder.h"

extern "C" __attribute__((visibility("default"))) int tellwen_windows_main(int argc, char** argv) {
  return tellwen::monitor::RunWithWindow(argc, argv, tellwen::desktop::OwnFolder());
}
