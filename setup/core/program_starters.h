// The two ways setup starts the programs of the install folder
// (KIVInstallPathExes): the wizard's, detached as the shell's "open" does;
// the headless run's, which waits for the database set-up ("/setup") so that
// its exit code tells whether the database is ready (the set-up's output is
// printed to stderr when it fails), and starts the others
// detached.
//
// Thread safety: any thread; no state beyond the settings reference.
#pragma once

#include "common/settings.h"
#include "setup/core/setup_tasks.h"

namespace tellwen::setup {

class DetachedStarter : public ProgramStarter {
 public:
  explicit DetachedStarter(Settings& settings) : settings_(settings) {}
  int Start(const std::string& program, const std::vector<std::string>& args) override;

 protected:
  Settings& settings() { return settings_; }

 private:
  Settings& settings_;
};

// Waits for the database set-up ("/setup"); starts any other run detached.
class WaitingStarter final : public DetachedStarter {
 public:
  using DetachedStarter::DetachedStarter;
  int Start(const std::string& program, const std::vector<std::string>& args) override;
};

}  // namespace tellwen::setup
