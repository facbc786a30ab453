// TickCount: milliseconds since the system started.
//
// The one clock behind `LastPingTime`: the monitor writes it at the end of
// every round and the web extension compares it with its own reading to
// judge whether the ping results are fresh. Both sides read it through
// Clock::TickCount (base/clock.h), never a clock of their own, so that the
// two values are comparable across processes.
//
// The count is the kernel's boot time clock (it goes on while the machine is
// suspended, so the time since start counts sleep too) and it is
// 64 bits wide: it never wraps, so a freshness check does not break after
// some weeks of uptime.
//
// Thread safety: callable from any thread.
#pragma once

#include <cstdint>

namespace tellwen {

uint64_t TickCount();

}  // namespace tellwen
