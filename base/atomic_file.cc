#include "base/atomic_file.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

namespace tellwen {
namespace {

// The longest tail of the target's name kept in a temporary name: the whole
// stays within the 255 bytes of a file name.
constexpr size_t kNameTail = 200;
constexpr int kNameAttempts = 16;

std::string UniquePart() {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random(std::random_device{}());
  return std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
         std::to_string(random() % 1000000);
}

std::string TemporaryName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > kNameTail) name.erase(0, name.size() - kNameTail);
  return folder + kAtomicTemporaryPrefix + UniquePart() + "." + name;
}

}  // namespace

std::string_view AtomicTemporaryTarget(std::string_view name) {
  const std::string_view prefix = kAtomicTemporaryPrefix;
  if (!name.starts_with(prefix)) return {};
  const size_t dot = name.find('.', prefix.size());
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

AtomicFile::~AtomicFile() { Abandon(); }

int AtomicFile::Open(const std::string& path, AtomicWriteOptions options) {
  Abandon();
  options_ = std::move(options);
  env_ = options_.env != nullptr ? options_.env : FileEnv::Default();
  path_ = path;
  if (!options_.temporary.empty()) {
    temporary_ = options_.temporary;
    const int error = env_->NewWritableFile(temporary_, &file_);
    if (error != 0) temporary_.clear();
    return error;
  }
  int error = EEXIST;
  for (int attempt = 0; attempt < kNameAttempts && error == EEXIST; ++attempt) {
    temporary_ = TemporaryName(path);
    error = env_->NewExclusiveFile(temporary_, options_.mode, &file_);
  }
  if (error != 0) temporary_.clear();
  return error;
}

int AtomicFile::Commit() {
  int error = options_.sync ? file_->Sync() : 0;
  const int closed = file_->Close();
  file_.reset();
  if (error == 0) error = closed;
  if (error == 0) {
    error =
        options_.replace ? env_->RenameFile(temporary_, path_) : env_->LinkFile(temporary_, path_);
  }
  // After a link the temporary name is left over; after a rename it is gone
  // and removing it is no error.
  if (error != 0 || !options_.replace) env_->RemoveFile(temporary_);
  temporary_.clear();
  return error;
}

void AtomicFile::Abandon() {
  file_.reset();
  if (!temporary_.empty()) env_->RemoveFile(temporary_);
  temporary_.clear();
}

int WriteFileAtomically(const std::string& path, std::string_view contents,
                        const AtomicWriteOptions& options) {
  AtomicFile file;
  if (const int error = file.Open(path, options); error != 0) return error;
  if (const int error = file.file().Append(contents); error != 0) return error;
  return file.Commit();
}

}  // namespace tellwen
