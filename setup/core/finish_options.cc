#include "setup/core/finish_options.h"

#include "base/user_messages.h"
#include "platform/scheduler/autostart.h"

namespace tellwen::setup {

void ApplyFinishOptions(const FinishOptions& options, Settings& settings, const SetupPaths& paths,
                        ProgramStarter& starter) {
  if (options.start_service) settings.SetValue("WebStatus", "yes");
  if (options.autoload_monitor) {
    const std::string error = scheduler::SetAutoloadMonitor(
        paths.autostart_folder, settings.GetValue("KIVInstallPathExes"), true);
    if (!error.empty()) ShowMessage(error, MessageIcon::kError);
  }
  if (options.start_indexing) starter.Start("KIVIndexer", {"/index"});
  if (options.launch_monitor) starter.Start("KIVMonitor", {});
}

}  // namespace tellwen::setup
