// Database calls on a stack that is deep enough. The embedded SQL server
// parses and interprets T-SQL in-process with recursive descent, and the web
// server's request threads may have small stacks (civetweb sets its own
// size; sanitizer builds need several times more). A call made on a thread
// whose stack is smaller than kMinStackBytes runs on a helper thread with a
// stack of that size, and the caller waits for it. Helper threads are kept
// between calls (up to 64 idle ones, as many as kivweb has request threads
// by default), so that a call does not pay for starting a thread and
// mapping its stack.
//
// Thread safety: any thread; a helper runs one call at a time.
#pragma once

#include <cstddef>
#include <functional>

namespace tellwen {

inline constexpr size_t kMinStackBytes = size_t{16} << 20;

// Runs work on a stack of at least kMinStackBytes (the calling thread's when
// it is big enough).
void RunOnDeepStack(const std::function<void()>& work);

}  // namespace tellwen
