// The four options of the finish page, applied only after a setup that did
// not fail, in this order: start the service (WebStatus "yes"), run
// KIVMonitor at computer startup (the XDG autostart entry), start network
// indexing (KIVIndexer /index), launch KIVMonitor.
//
// Thread safety: one call at a time.
#pragma once

#include <string>

#include "common/settings.h"
#include "setup/core/setup_paths.h"
#include "setup/core/setup_tasks.h"

namespace tellwen::setup {

struct FinishOptions {
  bool autoload_monitor = true;  // "Run KIVMonitor at computer startup"
  bool launch_monitor = true;    // "Launch KIVMonitor after I press finish"
  bool start_service = true;     // "Start Tellwen service after I press finish"
  bool start_indexing = true;    // "Start network indexing after I press finish"
};

// Applies options; a failure to write the autostart entry is shown
// (ShowMessage) as "Registry error: RegSetKeyEx returned %d" with the errno.
void ApplyFinishOptions(const FinishOptions& options, Settings& settings, const SetupPaths& paths,
                        ProgramStarter& starter);

}  // namespace tellwen::setup
