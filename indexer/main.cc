// KIVIndexer: start-up and command line. With a display the main window and
// the update dialog run the jobs (indexer/ui); with --headless, or when no
// display is available, the index job (/index) or the update job (/updatedb,
// /setup) runs headless without starting Qt. One instance per machine.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "base/stop_signals.h"
#include "base/user_messages.h"
#include "common/db_session.h"
#include "common/settings.h"
#include "indexer/core/command_line.h"
#include "indexer/core/index_headless.h"
#include "indexer/core/index_job.h"
#include "indexer/core/update_headless.h"
#include "platform/desktop/display.h"
#include "platform/desktop/single_instance.h"
#include "platform/desktop/windows_plugin.h"
#include "platform/net/smb_network.h"

namespace {

int RunIndex() {
  using namespace tellwen;
  // The SMB port is read here and nowhere else.
  net::SmbOptions smb;
  smb.port = net::SmbPortFromEnvironment();
  net::SmbNetwork network(smb);
  RegistrySettings settings;
  indexer::IndexJobDependencies deps;
  deps.network = &network;
  deps.settings = &settings;
  deps.sql = &MachineSql();
  indexer::SocketSearches searches;
  deps.searches = &searches;
  indexer::IndexJob job(std::move(deps));
  StopSignals stop_signals;
  indexer::HeadlessOptions options;
  options.terminal = isatty(fileno(stdout)) != 0;
  return indexer::RunIndexJobHeadless(&job, &StopSignals::flag(), options);
}

int RunUpdate(bool setup_mode) { return tellwen::indexer::RunUpdateJobHeadless(setup_mode); }

}  // namespace

int main(int argc, char** argv) {
  using namespace tellwen;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  indexer::CommandLine line = indexer::ParseCommandLine(arguments);
  if (line.help) {
    std::fputs(indexer::UsageText().c_str(), stdout);
    return 0;
  }

  if (int code = 0; desktop::RunWindowsIfWanted("KIVIndexer", line.headless, argc, argv, &code)) {
    return code;
  }

  desktop::SingleInstance instance("KIVIndexer");
  desktop::InstanceResult lock = instance.TryAcquire();
  if (lock == desktop::InstanceResult::kAlreadyRunning) {
    if (!line.silent) ShowMessage("KIVIndexer already running!", MessageIcon::kInformation);
    return 1;
  }
  if (lock == desktop::InstanceResult::kError) {
    std::fprintf(stderr, "KIVIndexer: %s; going on without the one-instance lock\n",
                 instance.ErrorText().c_str());
  }

  indexer::RecoverUnfinishedUpdateAtStart();

  if (line.update) return RunUpdate(line.setup);
  if (line.index) return RunIndex();

  std::fputs(
      "KIVIndexer: the main window needs a display and the windows; run a job with a switch.\n",
      stderr);
  std::fputs(indexer::UsageText().c_str(), stderr);
  return 2;
}
