// Test support for the screenshot programs of scripts/screenshots: the
// output folder from the command line, and one window rendered to a PNG.
//
// Thread safety: the window thread only.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QWidget>
#include <cstdio>

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
