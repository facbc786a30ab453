// The loader: sends the index file (one entry per line, six TAB-separated
// fields: computer, share, parent folder, folder, file name, size in KB) into
// the load table zz as "insert into zz values(...)" statements, 3000 lines per
// batch, each batch one transaction ("begin tran" ... "commit tran") and one
// round trip.
//
// The index file is untrusted (it lists names chosen by whoever shares files
// on the network), so a line is checked before it is sent: it must have six
// fields, a computer of "//" and a name, a non-empty file name, no field
// over 255 bytes and a
// size made of decimal digits no larger than 2147483647. A line that fails is
// not sent; it is reported through the rejected-line hook (the runner writes
// it to the update log). Empty lines are skipped; a CR is dropped only at a
// line's end.
// A line longer than any valid one is rejected for its length and only its
// first kilobytes are kept, so memory stays bounded whatever the file holds.
//
// A failed batch is never sent twice blindly and never dropped silently: the
// loader counts the rows of zz. When the batch left no row (the server rolls
// back a batch that stopped at an error) it is sent once more on its own;
// when it did commit after all, loading goes on; any other count, or a second
// failure, ends the load with the error text, and the update stops there.
//
// Thread safety: one call per thread; the hooks are called on the caller's
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/file_env.h"
#include "common/sql_session.h"

namespace tellwen::indexer {

inline constexpr int kLoaderLinesPerBatch = 3000;

struct LoaderHooks {
  // Lines sent so far; called after every batch that reached the table.
  std::function<void(int64_t lines_sent)> progress;
  // Polled before each line; true ends the load early (nothing more is sent).
  std::function<bool()> stop_requested;
  // A line that was not sent: its number (from 1), the reason and the text
  // (at most its first 4096 bytes).
  std::function<void(int64_t line_number, const std::string& reason, std::string_view line)>
      rejected;
};

struct LoaderResult {
  bool ok = true;
  std::string error_text;  // "unexpected error: ... src:..." when !ok
  int64_t lines_sent = 0;
  int64_t lines_rejected = 0;
  int batches = 0;  // batches that reached the table
  bool stopped = false;
};

// Why a line cannot be sent, or "" when it can. `line` has no line end.
std::string CheckIndexLine(std::string_view line);

// Appends "insert into zz values('f1','f2','f3','f4','f5','f6')\n" for a line
// that passed CheckIndexLine: the TABs become "','" and each "'" is doubled.
void AppendInsertStatement(std::string_view line, std::string* batch);

// Loads the file into zz. A file that cannot be opened or read to its end
// (a folder, a read error half way) is an error naming the file and the
// reason, and the open batch is not sent: loading a part would swap a cut
// or empty catalog in for the live one.
LoaderResult LoadIndexFile(const std::string& path, SqlSession& executor, const LoaderHooks& hooks,
                           FileEnv* env = FileEnv::Default());

}  // namespace tellwen::indexer
