// Renders KIVIndexer's windows into PNG files, for a person to look at:
// indexer_screenshots DIR. The main window before a job and during one (a
// job over a network in memory, held in one computer's listing), the update
// dialog during an update (a runner with scripted statements, held at one
// task) and the About box. Offscreen; it touches no store of the machine.
#include <QApplication>
#include <QDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "indexer/core/script_splitter.h"
#include "indexer/core/update_sql_log.h"
#include "indexer/ui/main_window.h"
#include "indexer/ui/update_dialog.h"
#include "sql/update_script_template.h"
#include "tests/indexer/fake_network.h"
#include "tests/indexer/job_settings.h"
#include "tests/indexer/update_fake_sql.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"
#include "tests/support/screenshot.h"
#include "tests/support/temp_dir.h"

namespace {

void Pause(int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tellwen;
  const tellwen::testing::ScreenshotApp app(argc, argv, "indexer_screenshots");
  const QString& folder = app.folder();
  if (folder.isEmpty()) return 2;
  testing::TempDir temp;
  bool ok = true;

  // The main window over a job held in the listing of PC4's share: four
  // threads, and no database update after the job.
  testing::FakeSettings settings;
  testing::SetJobSettings(settings, temp.path(), temp.path() + "/report.txt",
                          "0|\\\\PC1|\\\\PC2|\\\\PC3|\\\\PC4|\\\\PC5|\\\\PC6");
  settings.SetValue("NumberOfThreads", "4");
  settings.SetValue("AutomaticallyInsertIntoDatabase", "0");
  testing::FakeNetwork network;
  for (int pc = 1; pc <= 6; ++pc) {
    const std::string share = "\\\\PC" + std::to_string(pc) + "\\docs";
    network.AddShare(share);
    for (int f = 0; f < 40 * pc; ++f) network.AddFile(share + "\\file" + std::to_string(f), 10);
  }
  std::atomic<bool> hold{true};
  network.SetListingHook([&hold](const std::string& folder_path) {
    while (hold && folder_path.rfind("\\\\PC4", 0) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  testing::FakeSql sql;
  indexer::IndexJobDependencies deps;
  deps.network = &network;
  deps.settings = &settings;
  deps.sql = &sql;
  {
    indexer::IndexJob job(std::move(deps));
    indexer::MainWindow window(job, {});
    ok &= testing::SaveScreenshot(&window, folder, "indexer-main-window");
    QTimer::singleShot(0, &window, &indexer::MainWindow::StartOrStop);
    Pause(2300);
    ok &= testing::SaveScreenshot(&window, folder, "indexer-main-window-job");
    QTimer::singleShot(0, &window, &indexer::MainWindow::ShowAbout);
    QTimer::singleShot(300, [&] {
      if (QWidget* box = QApplication::activeModalWidget()) {
        ok &= testing::SaveScreenshot(box, folder, "indexer-about");
        box->close();
      }
    });
    Pause(600);
    hold = false;
    job.WaitUntilIdle(std::chrono::seconds(10));
    Pause(400);
    ok &= testing::SaveScreenshot(&window, folder, "indexer-main-window-done");
  }

  // The update dialog held at the task that creates the files' index.
  testing::UpdateFakeSql executor;
  std::atomic<bool> hold_update{true};
  executor.set_rule([&hold_update](const std::string& batch, int) {
    while (hold_update && batch.find("CREATE INDEX [i_aall_fn]") != std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::string();
  });
  indexer::UpdateRunnerConfig config;
  config.tasks =
      indexer::SplitScript(UpdateScriptTemplate(), {temp.path() + "/", "kiv", "5000", "sa", "336"});
  config.index_file = temp.path() + "/kivtmp.txt";
  {
    std::FILE* index = std::fopen(config.index_file.c_str(), "w");
    for (int i = 0; i < 500; ++i) std::fprintf(index, "//PC1\tdocs\t\t\tf%d.txt\t1\r\n", i);
    std::fclose(index);
  }
  config.log_file = indexer::SqlLogPath(temp.path());
  config.executor = &executor;
  testing::FakeSettings update_settings;
  config.settings = &update_settings;
  {
    indexer::UpdateRunner runner(config);
    indexer::UpdateDialog dialog(runner, /*setup_mode=*/false);
    runner.Start();
    dialog.show();
    Pause(2200);
    ok &= testing::SaveScreenshot(&dialog, folder, "indexer-update-dialog");
    hold_update = false;
    runner.Wait();
  }
  return ok ? 0 : 1;
}
