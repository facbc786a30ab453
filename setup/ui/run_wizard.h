// Starts the wizard: the Qt application, the one-instance rule (a second
// start raises the first window) and "Tellwen Setup". Returns the exit code.
#pragma once

namespace tellwen::setup {

int RunWizard(int argc, char** argv);

}  // namespace tellwen::setup
