#include "indexer/ui/run_windows.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "base/stop_signals.h"
#include "base/user_messages.h"
#include "common/db_session.h"
#include "common/settings.h"
#include "indexer/core/index_job.h"
#include "indexer/core/update_job.h"
#include "indexer/ui/main_window.h"
#include "indexer/ui/program_icon.h"
#include "indexer/ui/update_dialog.h"
#include "platform/desktop/instance_channel.h"
#include "platform/desktop/qt_messages.h"
#include "platform/desktop/single_instance.h"
#include "platform/net/smb_network.h"

namespace tellwen::indexer {

namespace {

// The update job with its dialog; silent in switch runs.
bool RunUpdate(QWidget* parent, bool setup_mode, bool from_switch) {
  RegistrySettings settings;
  DialogUpdateDriver driver(parent, setup_mode, /*minimized=*/from_switch);
  UpdateJobOptions options;
  options.setup_mode = setup_mode;
  options.silent = from_switch;
  const UpdateJobOutcome outcome = RunUpdateJob(options, driver, settings);
  // The button must not do nothing without a word.
  if (outcome == UpdateJobOutcome::kDisabled && !from_switch) {
    ShowMessage(kUpdateDisabledText, MessageIcon::kInformation);
  }
  return outcome == UpdateJobOutcome::kSucceeded;
}

}  // namespace

int RunWithWindows(int argc, char** argv, const CommandLine& line,
                   const std::function<void()>& after_claim) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Tellwen Indexer");
  QApplication::setWindowIcon(IndexerIcon());
  desktop::InstallQtMessages();

  desktop::SingleInstance instance("KIVIndexer");
  desktop::InstanceChannel channel("KIVIndexer");
  switch (instance.TryAcquire()) {
    case desktop::InstanceResult::kAcquired:
      break;
    case desktop::InstanceResult::kAlreadyRunning:
      if (!channel.AskRunningToRaise() && !line.silent) {
        ShowMessage("KIVIndexer already running!", MessageIcon::kInformation);
      }
      return 1;
    case desktop::InstanceResult::kError:
      std::fprintf(stderr, "KIVIndexer: %s; going on without the one-instance lock\n",
                   instance.ErrorText().c_str());
      break;
  }
  after_claim();
  StopSignals stop_signals;

  if (line.update) return RunUpdate(nullptr, line.setup, /*from_switch=*/true) ? 0 : 1;

  // The SMB port is read here and nowhere else.
  net::SmbOptions smb;
  smb.port = net::SmbPortFromEnvironment();
  net::SmbNetwork network(smb);
  RegistrySettings settings;
  IndexJobDependencies deps;
  deps.network = &network;
  deps.settings = &settings;
  deps.sql = &MachineSql();
  SocketSearches searches;
  deps.searches = &searches;
  IndexJob job(std::move(deps));

  MainWindowOptions options;
  options.index_run = line.index;
  MainWindow* window_pointer = nullptr;
  options.run_update = [&window_pointer] {
    RunUpdate(window_pointer, /*setup_mode=*/false, /*from_switch=*/false);
  };
  MainWindow window(job, std::move(options));
  window_pointer = &window;
  channel.Listen(&window);

  QTimer stop_poll;
  QObject::connect(&stop_poll, &QTimer::timeout, &window, [&window, &stop_poll] {
    if (!StopSignals::Requested()) return;
    stop_poll.stop();
    window.StopAndClose();
  });
  stop_poll.start(100);

  window.exec();
  return line.index ? window.exit_code() : 0;
}

}  // namespace tellwen::indexer
