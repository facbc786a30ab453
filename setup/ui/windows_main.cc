// KIVSetup's wizard as the plugin that KIVSetup loads to show it
// (platform/desktop/windows_plugin.h).
#include "setup/ui/run_wizard.h"

extern "C" __attribute__((visibility("default"))) int tellwen_windows_main(int argc, char** argv) {
  return tellwen::setup::RunWizard(argc, argv);
}
