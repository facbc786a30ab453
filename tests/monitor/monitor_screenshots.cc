// Renders KIVMonitor's window into PNG files, for a person to look at:
// monitor_screenshots DIR. The window as it opens, in the middle of a round
// (without a tray, so with its "&Menu" button), its menu, and the About box.
// A fake worker supplies the texts; nothing is pinged and no store of the
// machine is touched.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "monitor/ui/monitor_window.h"
#include "tests/monitor/fake_worker.h"
#include "tests/support/fake_settings.h"
#include "tests/support/screenshot.h"

int main(int argc, char** argv) {
  using namespace tellwen;
  const tellwen::testing::ScreenshotApp app(argc, argv, "monitor_screenshots");
  const QString& folder = app.folder();
  if (folder.isEmpty()) return 2;
  bool ok = true;

  testing::FakeWorker worker;
  testing::FakeSettings settings;
  monitor::MonitorWindowServices services;
  services.worker = &worker;
  services.settings = &settings;
  services.use_tray = false;
  services.refresh_ms = 60000;
  monitor::MonitorWindow window(services);
  ok &= testing::SaveScreenshot(&window, folder, "monitor-window");

  worker.ShowRound({"pinging...", "FILESERVER", "alive!", "42", "500", "00:01:37"}, 17, 42);
  window.Refresh();
  ok &= testing::SaveScreenshot(&window, folder, "monitor-window-round");

  window.menu()->popup(window.mapToGlobal(QPoint(20, 20)));
  QApplication::processEvents();
  ok &= testing::SaveScreenshot(window.menu(), folder, "monitor-menu");
  window.menu()->hide();

  QTimer::singleShot(300, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      ok &= testing::SaveScreenshot(box, folder, "monitor-about");
      box->close();
    }
  });
  window.ShowAbout();
  return ok ? 0 : 1;
}
