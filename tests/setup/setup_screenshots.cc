// Renders every page of KIVSetup's wizard into PNG files, for a person to
// look at: setup_screenshots DIR. Offscreen, over the fakes of the tests: a
// task runner that holds task 2 until the running page has been rendered,
// and a second wizard whose task 3 fails, for the failure page.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "base/user_messages.h"
#include "common/password.h"
#include "setup/ui/create_database_dialog.h"
#include "setup/ui/setup_wizard.h"
#include "setup/ui/tasks_page.h"
#include "tests/admin/fake_picker.h"
#include "tests/setup/fake_setup.h"
#include "tests/setup/scratch_machine.h"
#include "tests/support/fake_settings.h"
#include "tests/support/screenshot.h"

namespace {

using tellwen::setup::SetupWizard;

bool Save(QWidget* widget, const QString& folder, const char* name) {
  return tellwen::testing::SaveScreenshot(widget, folder, name);
}

// Holds task 2 until released, so the turning mark can be seen.
class HeldRunner : public tellwen::testing::FakeTaskRunner {
 public:
  std::string Run(int task, const tellwen::setup::SetupValues& values) override {
    if (task == 2) {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return FakeTaskRunner::Run(task, values);
  }
  std::atomic<bool> release{false};
};

bool Next(SetupWizard& wizard) {
  wizard.next();
  if (wizard.currentId() != tellwen::setup::kTasksPage) return true;
  return QTest::qWaitFor([&] { return !wizard.tasks_page()->running(); }, 5000);
}

}  // namespace

int main(int argc, char** argv) {
  const tellwen::testing::ScreenshotApp app(argc, argv, "setup_screenshots");
  const QString& folder = app.folder();
  if (folder.isEmpty()) return 2;
  tellwen::SetUserMessages(std::make_shared<tellwen::StderrMessages>());
  tellwen::testing::ScratchMachine machine;
  machine.paths.account = "kiv_user";
  std::filesystem::create_directories(machine.base() + "/etc");
  tellwen::testing::WriteFile(
      machine.paths.web_config,
      "root = /var/www/tellwen/wwwroot\nscripts = /var/www/tellwen/scripts\n");
  tellwen::testing::FakeSettings settings;
  settings.SetValue("SqlServer", "localhost");
  settings.SetValue("SqlDatabase", "kiv");
  settings.SetValue("SqlUser", "sa");
  settings.SetValue("SqlPassword", tellwen::ScramblePassword("secret"));
  tellwen::testing::FakeSetupDatabase database;
  tellwen::testing::RecordingStarter starter;
  tellwen::testing::FakePicker picker;
  HeldRunner tasks;
  tellwen::setup::SetupServices services{settings, database,      tasks,       starter,
                                         picker,   machine.paths, "fileserver"};
  bool ok = true;
  {
    SetupWizard wizard(services);
    wizard.show();
    ok = Save(&wizard, folder, "setup-0-welcome") && ok;
    wizard.next();
    ok = Save(&wizard, folder, "setup-1-web-application") && ok;
    wizard.next();
    ok = Save(&wizard, folder, "setup-2-database") && ok;
    wizard.next();
    QTest::qWait(350);
    ok = Save(&wizard, folder, "setup-3-tasks-running") && ok;
    tasks.release = true;
    ok = QTest::qWaitFor([&] { return !wizard.tasks_page()->running(); }, 5000) && ok;
    ok = Save(&wizard, folder, "setup-3-tasks-done") && ok;
    wizard.next();
    ok = Save(&wizard, folder, "setup-4-finish") && ok;
    QTimer::singleShot(200, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ok = Save(box, folder, "setup-about") && ok;
        box->accept();
      }
    });
    emit wizard.customButtonClicked(QWizard::CustomButton1);
    wizard.hide();
  }
  {
    tellwen::testing::FakeTaskRunner failing;
    failing.Fail(3);
    tellwen::setup::SetupServices failing_services{settings, database,      failing,     starter,
                                                   picker,   machine.paths, "fileserver"};
    SetupWizard wizard(failing_services);
    wizard.show();
    wizard.next();
    wizard.next();
    ok = Next(wizard) && ok;
    ok = Save(&wizard, folder, "setup-3-tasks-failed") && ok;
    wizard.next();
    ok = Save(&wizard, folder, "setup-4-failed") && ok;
  }
  {
    tellwen::testing::FakeSetupDatabase missing;
    missing.connects = false;
    const auto offer = tellwen::setup::DatabaseOffer(missing, {});
    tellwen::setup::CreateDatabaseDialog dialog(*offer);
    dialog.show();
    ok = Save(&dialog, folder, "setup-create-database") && ok;
  }
  return ok ? 0 : 1;
}
