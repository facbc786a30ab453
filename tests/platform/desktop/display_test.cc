#include "platform/desktop/display.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tellwen::desktop {
namespace {

TEST(Display, WindowsNeedADisplayOrAnExplicitPlatformAndNoHeadlessSwitch) {
  // Empty values count as unset (a session that cleared them has no display).
  testing::ScopedEnv x11("DISPLAY", "");
  testing::ScopedEnv wayland("WAYLAND_DISPLAY", "");
  {
    testing::ScopedEnv qpa("QT_QPA_PLATFORM", "");
    EXPECT_FALSE(DisplayAvailable());
    EXPECT_FALSE(UseWindows(false));
  }
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    testing::ScopedEnv qpa("QT_QPA_PLATFORM", "");
    testing::ScopedEnv set(name, name[0] == 'Q' ? "offscreen" : ":7");
    EXPECT_TRUE(UseWindows(false)) << name;
    EXPECT_FALSE(UseWindows(true)) << name;
  }
}

}  // namespace
}  // namespace tellwen::desktop
