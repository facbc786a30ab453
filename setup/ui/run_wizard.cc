#include "setup/ui/run_wizard.h"

#include <QApplication>

#include "base/host_name.h"
#include "common/settings.h"
#include "platform/desktop/file_picker.h"
#include "platform/desktop/instance_channel.h"
#include "platform/desktop/program_folder.h"
#include "platform/desktop/qt_messages.h"
#include "platform/desktop/single_instance.h"
#include "setup/core/program_starters.h"
#include "setup/core/setup_database.h"
#include "setup/ui/setup_wizard.h"

namespace tellwen::setup {

int RunWizard(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Tellwen Setup");
  desktop::InstallQtMessages();

  desktop::SingleInstance instance("KIVSetup");
  desktop::InstanceChannel channel("KIVSetup");
  if (!desktop::ClaimInstance(instance, channel, "Tellwen Setup already running!")) return 0;

  Settings& settings = MachineSettings();
  MachineSetupDatabase database;
  DetachedStarter starter(settings);
  SetupPaths paths;
  SetupTasks tasks(settings, database, starter, paths);
  SetupServices services{settings, database,       tasks, starter, desktop::MachineFilePicker(),
                         paths,    LocalHostName()};
  SetupWizard wizard(services);
  // The install folder: where this program and the files it installs live.
  settings.SetValue("KIVInstallPathExes", desktop::OwnFolder());
  channel.Listen(&wizard);
  wizard.exec();
  return 0;
}

}  // namespace tellwen::setup
