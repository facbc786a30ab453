// Writing a file so that its readers see the old contents or the new, never
// a part: the contents go to a temporary file beside it, which is renamed
// over it once every write, the flush and the close worked. Every program's
// file that another process may read while it is written (settings values,
// the web server's configuration, the charts, the index file, the update
// state, the credentials file, the autostart entry) is written this way.
//
// The temporary file is created in the target's folder (a rename never
// crosses file systems) with a name no other writer uses,
// ".tmp.<unique>.<name>": hidden, and ending in the target's name, so that
// what watches a folder or fails a file by its name treats it as the
// target's. It is created exclusively, never through a symbolic link, with
// exactly the asked mode. Whatever fails, the temporary file is removed and
// the target is as it was.
//
// Errors are errno values, 0 when it worked (as FileEnv's); the caller names
// the file in its message.
//
// Thread safety: any number of writers of one target in any threads and
// processes; the last rename wins (or, with replace off, the first link).
// An AtomicFile belongs to one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/file_env.h"

namespace tellwen {

// How every temporary file of WriteFileAtomically begins: a folder's reader
// skips such names, a sweeper may remove old ones a crashed writer left.
inline constexpr const char* kAtomicTemporaryPrefix = ".tmp.";

// For a name in a folder: the name of the target whose temporary file it is
// ("" when it is not one of ours).
std::string_view AtomicTemporaryTarget(std::string_view name);

struct AtomicWriteOptions {
  unsigned mode = 0644;  // the file's permission bits, whatever the umask
  bool sync = false;     // fsync before the rename: the contents survive a crash
  bool replace = true;   // false: EEXIST where the target exists, never replaced
  // A fixed name for the temporary file instead of a unique one (the index
  // file's "<name>.partial", which its readers know): truncated when it
  // exists, so one writer at a time.
  std::string temporary;
  FileEnv* env = nullptr;  // null: FileEnv::Default(); not owned
};

// A target written in pieces: Open, then Append through file(), then Commit.
// Destroyed without a Commit that worked, it removes its temporary file.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  int Open(const std::string& path, AtomicWriteOptions options = {});
  // REQUIRES: Open returned 0 and Commit was not called.
  WritableFile& file() { return *file_; }
  // Flushes, syncs when asked, closes and renames (links, with replace off)
  // the temporary file to the target. REQUIRES: Open returned 0; called once.
  int Commit();
  // Drops what was written; the target is untouched.
  void Abandon();

  const std::string& temporary_path() const { return temporary_; }

 private:
  AtomicWriteOptions options_;
  FileEnv* env_ = nullptr;
  std::string path_;
  std::string temporary_;
  std::unique_ptr<WritableFile> file_;
};

// The whole contents at once.
int WriteFileAtomically(const std::string& path, std::string_view contents,
                        const AtomicWriteOptions& options = {});

}  // namespace tellwen
