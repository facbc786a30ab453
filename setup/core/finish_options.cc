#include "setup/core/finish_options.h"

#include <filesystem>
#include <system_error>

#include "platform/scheduler/autostart.h"
#include "base/user_messages.h"

namespace tellwen::setup {

void ApplyFinishOptions(const FinishOptions& options, Settings& settings, const SetupPaths& paths,
                        ProgramStarter& starter) {
  if (options.start_service) settings.SetValue("WebStatus", "yes");
  if (options.autoload_monitor) {
    // A server without a desktop may have no autostart folder yet.
    std::error_code ignored;
    std::filesystem::create_directories(paths.autostart_folder, ignored);
    const int code = scheduler::WriteAutostart(paths.autostart_folder,
                                           settings.GetValue("KIVInstallPathExes") + "KIVMonitor");
    if (code != 0) ShowMessage(scheduler::AutostartWriteError(code), MessageIcon::kError);
  }
  if (options.start_indexing) starter.Start("KIVIndexer", {"/index"});
  if (options.launch_monitor) starter.Start("KIVMonitor", {});
}

}  // namespace tellwen::setup
