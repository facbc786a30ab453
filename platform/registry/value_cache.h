// A process-wide cache of the hive's values and of which key folders exist,
// kept exact by inotify.
//
// A value read from the hive costs six system calls and a web page reads
// some thirty values. The cache keeps, per key folder, what a read found (the
// bytes, or that the value is missing) and forgets a value as soon as the
// kernel reports a change to its file: every lookup first drains the inotify
// queue, which the kernel fills before a writer's rename, link, unlink, chmod
// or write returns, so a read that starts after a write has returned (in this
// process or any other) sees that write. Writers' temporary files (names with
// a leading ".") are ignored; a change to the folder itself forgets all of
// its values.
//
// What inotify cannot see, a key folder's parent folder renamed and another
// tree moved into its place (a hive restored by moving folders), is bounded
// by age: a value is read again once its entry is a second old.
//
// Where inotify is not available (no instance left, too many watches, a
// folder that cannot be watched) and in a child process after fork (the
// parent's queue is not the child's to drain), every read goes to the file.
//
// Thread safety: every function may be called from any thread at any time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tellwen::registry {

// Reads a value file: fills *bytes and returns 0, or returns an errno code
// (EMSGSIZE when the file holds more than the bound it is given).
using ValueFileReader = std::function<int(std::size_t max_bytes, std::string* bytes)>;

// Returns value file `file` of key folder `folder` as read_file would, from
// the cache where it holds a fresh answer. On a miss read_file is called with
// a bound of at least max_bytes and its answer is kept when it is 0 or ENOENT
// and no change to the file was reported meanwhile. A value larger than
// max_bytes returns EMSGSIZE and leaves *bytes untouched.
int ReadThroughCache(const std::string& folder, const std::string& file, std::size_t max_bytes,
                     std::string* bytes, const ValueFileReader& read_file);

// Whether key folder `folder` exists, as is_folder() tells, or from the
// cache: a folder it watches and has found within the last second (a
// removed or renamed folder is forgotten at once). A folder that is missing
// is asked about every time.
bool FolderExistsThroughCache(const std::string& folder, const std::function<bool()>& is_folder);

// For a program that reads a few values and exits (a command-line tool):
// every read goes to its file from now on, and no inotify instance is made.
// Closing one costs the exiting process a kernel grace period of several
// milliseconds, more than the reads it would save. Call before the first read.
void ReadEveryValueFromItsFile();

}  // namespace tellwen::registry
