// Test support for the screenshot programs of scripts/screenshots: the
// application with the output folder from the command line, and one window
// rendered to a PNG.
//
// Thread safety: the window thread only.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace tellwen::testing {

// The folder named by the only argument, created; "" (after a usage line on
// stderr) when the command line is not "program DIR".
inline QString ScreenshotFolder(int argc, char** argv, const char* program) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", program);
    return "";
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  return folder;
}

// A screenshot program's application, on the offscreen platform unless
// QT_QPA_PLATFORM names another. folder() is "" (after a usage line) when
// the command line is not "program DIR"; the program then exits with 2.
class ScreenshotApp {
 public:
  ScreenshotApp(int& argc, char** argv, const char* program)
      : app_(OffscreenUnlessSet(argc), argv), folder_(ScreenshotFolder(argc, argv, program)) {}

  const QString& folder() const { return folder_; }

 private:
  // The platform must be chosen before the application exists.
  static int& OffscreenUnlessSet(int& argc) {
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    return argc;
  }

  QApplication app_;
  QString folder_;
};

// Shows widget (it stays shown), renders it into folder/name.png and says so
// on stdout; false when the file could not be written.
inline bool SaveScreenshot(QWidget* widget, const QString& folder, const char* name) {
  widget->show();
  QApplication::processEvents();
  const QString path = folder + "/" + name + ".png";
  const bool saved = widget->grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toUtf8().constData());
  return saved;
}

}  // namespace tellwen::testing
