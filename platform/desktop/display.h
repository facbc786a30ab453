// Whether a desktop program shows its windows or runs headless.
//
// A program shows windows when a display is there to show them on: DISPLAY
// or WAYLAND_DISPLAY is set, or QT_QPA_PLATFORM names a platform (such as
// "offscreen") explicitly. "--headless" on the command line always wins. A
// server without a display thus runs headless without being told, and never
// starts Qt at all. The windows themselves are a plugin that may not be
// installed (windows_plugin.h).
//
// Thread safety: reads the environment; call before threads change it.
#pragma once

namespace tellwen::desktop {

// A display (or an explicit Qt platform) is available.
bool DisplayAvailable();

// Whether this build makes the programs' windows (-DTELLWEN_GUI).
inline constexpr bool kWindowsBuiltIn = TELLWEN_WITH_WINDOWS != 0;

// The program is to show its windows: a display and no --headless.
inline bool UseWindows(bool headless_asked) { return !headless_asked && DisplayAvailable(); }

}  // namespace tellwen::desktop
