// How a connection waits for a lock another connection holds.
//
// SQLite answers a lock held elsewhere with SQLITE_BUSY and calls the
// connection's busy handler. The handler here sleeps until a connection of
// this process commits to a WAL file (SQLite has released its write lock by
// then) or 2 ms have passed (the holder may be another process, or end with
// a rollback, which wakes nobody), then lets SQLite try again; one waiter is
// woken per commit. So the writers of one process, the web's pages writing
// their log rows, take the write lock one after another as it is freed
// instead of each sleeping a fixed time and missing most of the moments it
// is free.
//
// Thread safety: any thread; a handle is configured before it is shared.
#pragma once

#include <sqlite3.h>

namespace tellwen::sqlserver {

// SQLite's own default: a WAL file is folded back past 1,000 frames.
inline constexpr int kDefaultCheckpointFrames = 1000;

// Sets db's busy handler: waits as above, and gives up (SQLITE_BUSY reaches
// the statement) once busy_ms have passed since the wait began.
void WaitForLocks(sqlite3* db, int busy_ms);

// Sets db's commit hook: wakes a waiting connection after every commit, and
// folds a WAL file back into its database once it holds checkpoint_frames
// frames (what SQLite's wal_autocheckpoint does; that pragma would replace
// this hook, so it is not used).
void WakeWaitersOnCommit(sqlite3* db, int checkpoint_frames);

}  // namespace tellwen::sqlserver
