// KIVAdmin: the administrator's program. One instance per user session: a
// second start raises the running window (or, before it exists, says
// "Tellwen Admin already running!") and ends. No command-line arguments
// are read besides Qt's own.
#include <QApplication>

#include "admin/ui/admin_services.h"
#include "admin/ui/main_dialog.h"
#include "admin/ui/program_icon.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/desktop/file_picker.h"
#include "platform/desktop/instance_channel.h"
#include "platform/desktop/qt_messages.h"
#include "platform/desktop/single_instance.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Tellwen Administrator");
  QApplication::setWindowIcon(tellwen::admin::ProgramIcon());
  tellwen::desktop::InstallQtMessages();

  tellwen::desktop::SingleInstance instance("KIVAdmin");
  tellwen::desktop::InstanceChannel channel("KIVAdmin");
  if (!tellwen::desktop::ClaimInstance(instance, channel, "Tellwen Admin already running!")) {
    return 0;
  }
  tellwen::admin::AdminServices services{tellwen::MachineSettings(), tellwen::MachineSql(),
                                         tellwen::desktop::MachineFilePicker()};
  tellwen::admin::MainDialog dialog(services);
  channel.Listen(&dialog);
  dialog.exec();
  return 0;
}
