#include "base/file_env.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace tellwen {
namespace {

constexpr size_t kWriteBufferBytes = 1 << 20;

class PosixWritableFile : public WritableFile {
 public:
  // The buffer grows with what is appended, up to kWriteBufferBytes: a small
  // file (a settings value) costs no large allocation.
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) Close();
  }

  int Append(std::string_view data) override {
    if (error_ != 0) return error_;
    if (buffer_.size() + data.size() > kWriteBufferBytes) {
      if (Flush() != 0) return error_;
      if (data.size() >= kWriteBufferBytes) return WriteOut(data.data(), data.size());
    }
    buffer_.append(data);
    return 0;
  }

  int Sync() override {
    if (Flush() != 0) return error_;
    // EINVAL and EROFS: a file that cannot be synced (a pipe, a device), no loss.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) error_ = errno;
    return error_;
  }

  int Close() override {
    if (fd_ < 0) return error_;
    Flush();
    if (::close(fd_) != 0 && error_ == 0) error_ = errno;
    fd_ = -1;
    return error_;
  }

 private:
  int Flush() {
    if (error_ == 0 && !buffer_.empty()) WriteOut(buffer_.data(), buffer_.size());
    // What was written may be a secret (the credentials file): the bytes do
    // not stay behind in freed or reused memory.
    std::fill(buffer_.begin(), buffer_.end(), '\0');
    buffer_.clear();
    return error_;
  }

  int WriteOut(const char* data, size_t n) {
    while (n > 0 && error_ == 0) {
      ssize_t written = ::write(fd_, data, n);
      if (written < 0) {
        if (errno != EINTR) error_ = errno;
      } else if (written == 0) {
        error_ = ENOSPC;
      } else {
        data += written;
        n -= static_cast<size_t>(written);
      }
    }
    return error_;
  }

  int fd_;
  std::string buffer_;
  int error_ = 0;
};

class PosixReadableFile : public ReadableFile {
 public:
  explicit PosixReadableFile(int fd) : fd_(fd) {}
  ~PosixReadableFile() override { ::close(fd_); }

  int Read(char* buffer, size_t n, size_t* read) override {
    *read = 0;
    while (true) {
      ssize_t got = ::read(fd_, buffer, n);
      if (got >= 0) {
        *read = static_cast<size_t>(got);
        return 0;
      }
      if (errno != EINTR) return errno;
    }
  }

 private:
  int fd_;
};

class PosixFileEnv : public FileEnv {
 public:
  int NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* file) override {
    file->reset();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    *file = std::make_unique<PosixWritableFile>(fd);
    return 0;
  }

  int NewExclusiveFile(const std::string& path, unsigned mode,
                       std::unique_ptr<WritableFile>* file) override {
    file->reset();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    // The creation mode is masked by the umask; the asked mode is set as is.
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
      const int error = errno;
      ::close(fd);
      ::unlink(path.c_str());
      return error;
    }
    *file = std::make_unique<PosixWritableFile>(fd);
    return 0;
  }

  int NewReadableFile(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    file->reset();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    *file = std::make_unique<PosixReadableFile>(fd);
    return 0;
  }

  int RenameFile(const std::string& from, const std::string& to) override {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  int LinkFile(const std::string& from, const std::string& to) override {
    if (::link(from.c_str(), to.c_str()) == 0) return 0;
    const int error = errno;
    if (error == EEXIST) return error;
    // A file system without hard links: a rename that never replaces.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return 0;
    }
    return errno == EEXIST ? EEXIST : error;
  }

  int RemoveFile(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
  }
};

}  // namespace

FileEnv* FileEnv::Default() {
  static PosixFileEnv env;
  return &env;
}

}  // namespace tellwen
