// Test support: the main of the Qt tests. One QApplication for every case
// (widgets need it), on the offscreen platform unless the environment says
// otherwise (ctest sets QT_QPA_PLATFORM=offscreen), so no test ever opens a
// window on a real display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
