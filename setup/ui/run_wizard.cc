#include "setup/ui/run_wizard.h"

#include <cstdio>

namespace tellwen::setup {

int RunWizard(int, char**) {
  std::fputs("KIVSetup: the wizard is not available in this build; use --headless.\n", stderr);
  return 2;
}

}  // namespace tellwen::setup
