// KIVSetup: installs Tellwen's site, web account and database on this
// server, or removes them.
//   KIVSetup /uninstall          the silent removal (the argument exactly)
//   KIVSetup --headless [...]    the setup without windows (also chosen when
//                                no display is available)
//   KIVSetup                     the wizard
// One instance per machine. Files it and the programs it starts create are
// group-writable (umask 002): the web account reaches them through the
// site's group.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/user_messages.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/desktop/display.h"
#include "platform/desktop/program_folder.h"
#include "platform/desktop/single_instance.h"
#include "platform/desktop/windows_plugin.h"
#include "setup/core/headless.h"
#include "setup/core/program_starters.h"
#include "setup/core/removal.h"
#include "setup/core/setup_database.h"
#include "setup/core/stored_settings.h"

namespace {

// The removal shows nothing, whatever fails.
class SilentMessages : public tellwen::UserMessages {
 public:
  void Show(const std::string&, tellwen::MessageIcon) override {}
  bool AskYesNo(const std::string&, tellwen::MessageIcon) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tellwen;
  ::umask(002);
  if (argc == 2 && std::string(argv[1]) == "/uninstall") {
    SetUserMessages(std::make_shared<SilentMessages>());
    setup::StoredSettings stored;
    setup::Uninstall(stored, MachineSql(), setup::SetupPaths());
    return 0;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  // Without the wizard (no display, or its windows not installed) a start
  // without arguments is the headless run.
  const bool headless_asked = !args.empty() && args[0] == "--headless";
  if (int code = 0; desktop::RunWindowsIfWanted("KIVSetup", headless_asked, argc, argv, &code)) {
    return code;
  }
  const bool headless = headless_asked || args.empty();
  if (!headless) {
    std::cerr << "KIVSetup: unknown arguments; the headless run starts with --headless.\n"
              << setup::HeadlessUsage();
    return 2;
  }

  if (!args.empty() && args[0] == "--headless") args.erase(args.begin());
  setup::HeadlessOptions options;
  const Status parsed = setup::ParseHeadlessOptions(args, &options);
  if (!parsed.ok()) {
    std::cerr << "KIVSetup: " << parsed.message() << "\n" << setup::HeadlessUsage();
    return 2;
  }
  if (options.help) {
    std::cout << setup::HeadlessUsage();
    return 0;
  }
  desktop::SingleInstance instance("KIVSetup");
  if (instance.TryAcquire() == desktop::InstanceResult::kAlreadyRunning) {
    std::cerr << "Tellwen Setup already running!\n";
    return 1;
  }
  Settings& settings = MachineSettings();
  settings.SetValue("KIVInstallPathExes", desktop::OwnFolder());
  setup::MachineSetupDatabase database;
  setup::WaitingStarter starter(settings);
  const bool terminal = ::isatty(0) == 1;
  return setup::RunHeadless(options, settings, database, starter, std::cout,
                            terminal ? &std::cin : nullptr);
}
