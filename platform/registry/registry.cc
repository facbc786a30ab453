#include "platform/registry/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/atomic_file.h"
#include "base/int_text.h"
#include "platform/registry/value_cache.h"

namespace tellwen::registry {
namespace {

constexpr const char* kDefaultRoot = "/var/lib/tellwen/registry";
constexpr const char* kTempPrefix = kAtomicTemporaryPrefix;

// Escapes what a file name cannot hold, and a leading "." so that value files
// never collide with our hidden temporary files or with "." and "..".
std::string EscapeName(const std::string& name) {
  std::string out;
  static const char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '/' || c == '%' || c == 0 || (i == 0 && c == '.')) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeName(const std::string& file) {
  std::string out;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '%' && i + 2 < file.size()) {
      int hi = HexDigitValue(file[i + 1]);
      int lo = HexDigitValue(file[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += file[i];
  }
  return out;
}

int MakeFolders(const std::string& path) {
  std::size_t pos = 1;
  while (true) {
    std::size_t slash = path.find('/', pos);
    std::string part = path.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

std::string HiveRoot() {
  const char* env = std::getenv("TELLWEN_REGISTRY");
  std::string root = (env != nullptr && *env != '\0') ? env : kDefaultRoot;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

int OpenKey(const std::string& key_path, bool create, std::string* folder, bool* created) {
  std::string path = HiveRoot();
  std::size_t start = 0;
  while (start <= key_path.size()) {
    std::size_t end = key_path.find('\\', start);
    if (end == std::string::npos) end = key_path.size();
    std::string part = key_path.substr(start, end - start);
    if (part == "." || part == ".." || part.find('/') != std::string::npos) return EINVAL;
    if (!part.empty()) path += "/" + part;
    start = end + 1;
  }
  // Every settings read opens its key: the cache spares the stat.
  const bool existed = FolderExistsThroughCache(path, [&path] {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  });
  if (!existed) {
    if (!create) return ENOENT;
    if (int rc = MakeFolders(path); rc != 0) return rc;
  }
  if (created != nullptr) *created = !existed;
  *folder = path;
  return 0;
}

namespace {

// Reads the value file at path, at most max_bytes of it.
int ReadValueFile(const std::string& path, std::size_t max_bytes, std::string* bytes) {
  FdCloser file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return errno;
  struct stat st;
  if (fstat(file.fd, &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  // Read up to one byte past the bound, so that a value that grew since
  // fstat is still recognised as too large.
  std::string data;
  std::size_t want = std::min<std::size_t>(max_bytes, static_cast<std::size_t>(st.st_size)) + 1;
  std::size_t got = 0;
  while (true) {
    data.resize(want);
    ssize_t n = read(file.fd, data.data() + got, want - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > max_bytes) return EMSGSIZE;
    if (got == want) want = std::min(max_bytes + 1, want * 2);
  }
  data.resize(got);
  *bytes = std::move(data);
  return 0;
}

}  // namespace

int QueryValue(const std::string& folder, const std::string& name, std::size_t max_bytes,
               std::string* bytes) {
  if (name.empty()) return EINVAL;
  const std::string file = EscapeName(name);
  const std::string path = folder + "/" + file;
  return ReadThroughCache(
      folder, file, max_bytes, bytes,
      [&path](std::size_t bound, std::string* read) { return ReadValueFile(path, bound, read); });
}

namespace {

// A temporary file older than this was left by a writer that died between
// writing and renaming it; no live writer takes that long.
constexpr time_t kStaleTempSeconds = 60;

// Removes the stale temporary files of folder.
void RemoveStaleTemps(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  const time_t now = time(nullptr);
  const std::size_t prefix = std::strlen(kTempPrefix);
  while (dirent* entry = readdir(dir.get())) {
    if (std::strncmp(entry->d_name, kTempPrefix, prefix) != 0) continue;
    struct stat st;
    if (fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && now - st.st_mtime > kStaleTempSeconds) {
      unlinkat(dirfd(dir.get()), entry->d_name, 0);
    }
  }
}

// Writers look for stale temporary files at most this often per process.
std::atomic<time_t> last_sweep{0};

void SweepNowAndThen(const std::string& folder) {
  const time_t now = time(nullptr);
  time_t last = last_sweep.load();
  if (now - last < kStaleTempSeconds / 4) return;
  if (!last_sweep.compare_exchange_strong(last, now)) return;
  RemoveStaleTemps(folder);
}

}  // namespace

// Values are read by every program, the web server's account included, and
// are written whole: a reader sees the old value or the new. The writer's
// temporary file begins with kTempPrefix (RemoveStaleTemps sweeps those a
// crashed writer left).
int SetValue(const std::string& folder, const std::string& name, const std::string& bytes) {
  if (name.empty()) return EINVAL;
  SweepNowAndThen(folder);
  return WriteFileAtomically(folder + "/" + EscapeName(name), bytes);
}

int CreateValue(const std::string& folder, const std::string& name, const std::string& bytes) {
  if (name.empty()) return EINVAL;
  // Never replaces: a value stored meanwhile by another writer stays.
  AtomicWriteOptions options;
  options.replace = false;
  return WriteFileAtomically(folder + "/" + EscapeName(name), bytes, options);
}

int DeleteValue(const std::string& folder, const std::string& name) {
  if (name.empty()) return EINVAL;
  if (unlink((folder + "/" + EscapeName(name)).c_str()) != 0) return errno;
  return 0;
}

int ListValues(const std::string& folder, std::vector<std::string>* names,
               std::vector<std::string>* unreadable) {
  RemoveStaleTemps(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return errno;
  names->clear();
  if (unreadable != nullptr) unreadable->clear();
  while (dirent* entry = readdir(dir.get())) {
    std::string file = entry->d_name;
    if (file.empty() || file[0] == '.') continue;  // ".", "..", temporary files
    struct stat st;
    if (stat((folder + "/" + file).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      if (unreadable != nullptr) unreadable->push_back(UnescapeName(file));
      continue;
    }
    names->push_back(UnescapeName(file));
  }
  std::sort(names->begin(), names->end());
  if (unreadable != nullptr) std::sort(unreadable->begin(), unreadable->end());
  return 0;
}

}  // namespace tellwen::registry
