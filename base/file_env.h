// FileEnv: the file access of Tellwen's jobs behind one small interface, so
// that tests can make a read or a write fail on cue (a full disk, a read
// error half way) the way the fake network makes a scan fail.
//
// Every call reports its outcome as an errno value: 0 when it worked,
// otherwise the system's reason (ENOSPC, EIO, EISDIR, ...), which the caller
// puts into a message naming the file (std::strerror gives the text).
// Nothing throws.
//
// A WritableFile buffers what is appended; an error of any write, of the
// flush or of close is reported by the call that meets it, and from then on
// every call reports it again (a file that failed once is never taken as
// whole). A ReadableFile reads in chunks; the end of the file and a read
// error are told apart.
//
// Thread safety: FileEnv::Default() and its methods may be used from any
// thread; one file object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace tellwen {

class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual int Append(std::string_view data) = 0;
  // Writes out what is buffered and makes it durable (fsync).
  virtual int Sync() = 0;
  // Writes out what is buffered and closes the file. REQUIRES: called once;
  // no call follows it. The destructor closes a file that was not closed,
  // dropping the outcome.
  virtual int Close() = 0;
};

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to n bytes into buffer and sets *read to their count; 0 at the
  // end of the file.
  virtual int Read(char* buffer, size_t n, size_t* read) = 0;
};

class FileEnv {
 public:
  virtual ~FileEnv() = default;

  // The process's real file system.
  static FileEnv* Default();

  // Creates path, or truncates it when it exists.
  virtual int NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* file) = 0;
  // Creates path, which must not exist yet (EEXIST), nor be a symbolic link,
  // with exactly `mode` as its permission bits whatever the umask.
  virtual int NewExclusiveFile(const std::string& path, unsigned mode,
                               std::unique_ptr<WritableFile>* file) = 0;
  virtual int NewReadableFile(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
  // Renames from to to, replacing to when it exists.
  virtual int RenameFile(const std::string& from, const std::string& to) = 0;
  // Gives the file `from` the second name `to`, never replacing: EEXIST when
  // `to` exists. `from` keeps its name, except on a file system without hard
  // links, where it is renamed to `to` (still never replacing).
  virtual int LinkFile(const std::string& from, const std::string& to) = 0;
  // Removes path; a path that does not exist is no error.
  virtual int RemoveFile(const std::string& path) = 0;
};

}  // namespace tellwen
