#include "platform/net/smb_network.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <libsmbclient.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "base/serial_iconv.h"
#include "platform/net/smb_url.h"

namespace tellwen::net {

namespace {

std::atomic<uint64_t> next_network_id{1};

// The library keeps per-call scratch memory (its talloc stack frames) in
// process-wide state unless it is given thread functions: then each thread
// has its own. This build of the library does not export its own setter
// (smbc_thread_posix), but its utility library exports the one underneath,
// smb_thread_set_functions, which takes the table below (the seven functions
// of smbc_thread_impl in libsmbclient.h, in that order). With the table in
// place every thread calls the library through its own context at once
// (once a first call has succeeded, see library_warm), and only the
// library's process-wide set-up is serialised: creating, starting
// and freeing a context, the debug level and the client configuration. Where
// the table cannot be installed, every call is serialised as before (said
// once on stderr) and a server that does not answer holds the others up to
// the timeout. The table lives as long as the process image that holds the
// library (a web extension is unloaded only with its libraries).
std::mutex& LibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

enum class ThreadLockType { kLock = 1, kUnlock = 2 };

struct LibraryThreadFunctions {
  int (*create_mutex)(const char* name, void** lock, const char* location);
  void (*destroy_mutex)(void* lock, const char* location);
  int (*lock_mutex)(void* lock, ThreadLockType type, const char* location);
  int (*create_tls)(const char* name, void** key, const char* location);
  void (*destroy_tls)(void** key, const char* location);
  int (*set_tls)(void* key, const void* value, const char* location);
  void* (*get_tls)(void* key, const char* location);
};

int CreateMutex(const char*, void** lock, const char*) {
  auto* mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
  if (mutex == nullptr) return ENOMEM;
  pthread_mutex_init(mutex, nullptr);
  *lock = mutex;
  return 0;
}
void DestroyMutex(void* lock, const char*) {
  pthread_mutex_destroy(static_cast<pthread_mutex_t*>(lock));
  std::free(lock);
}
int LockMutex(void* lock, ThreadLockType type, const char*) {
  auto* mutex = static_cast<pthread_mutex_t*>(lock);
  return type == ThreadLockType::kUnlock ? pthread_mutex_unlock(mutex) : pthread_mutex_lock(mutex);
}
int CreateTls(const char*, void** key, const char*) {
  auto* tls = static_cast<pthread_key_t*>(std::malloc(sizeof(pthread_key_t)));
  if (tls == nullptr) return ENOMEM;
  if (const int error = pthread_key_create(tls, nullptr); error != 0) {
    std::free(tls);
    return error;
  }
  *key = tls;
  return 0;
}
void DestroyTls(void** key, const char*) {
  if (*key == nullptr) return;
  pthread_key_delete(*static_cast<pthread_key_t*>(*key));
  std::free(*key);
  *key = nullptr;
}
int SetTls(void* key, const void* value, const char*) {
  if (key == nullptr) return EINVAL;
  return pthread_setspecific(*static_cast<pthread_key_t*>(key), value);
}
// The library asks for a value before it has made the key (the first stack
// frame of the process): no value yet.
void* GetTls(void* key, const char*) {
  return key == nullptr ? nullptr : pthread_getspecific(*static_cast<pthread_key_t*>(key));
}

const LibraryThreadFunctions kThreadFunctions = {CreateMutex, DestroyMutex, LockMutex, CreateTls,
                                                 DestroyTls,  SetTls,       GetTls};

// Installs the thread functions, once, before the first context is made (a
// stack frame made before would be read as a thread key afterwards). True
// when the library keeps its scratch memory per thread from then on.
// REQUIRES: LibraryMutex held.
bool LibraryRunsPerThread() {
  static const bool per_thread = [] {
    void* utility = dlopen("libsamba-util.so.0", RTLD_NOW | RTLD_NOLOAD);
    using Setter = int (*)(const LibraryThreadFunctions*);
    auto set = utility == nullptr
                   ? nullptr
                   : reinterpret_cast<Setter>(dlsym(utility, "smb_thread_set_functions"));
    const bool ok = set != nullptr && set(&kThreadFunctions) == 0;
    if (utility != nullptr) dlclose(utility);  // libsmbclient keeps it loaded
    if (!ok) {
      std::fprintf(stderr,
                   "SMB client library: no thread support found; SMB calls are made one at a "
                   "time\n");
      return false;
    }
    // Its character-set converters are shared by every thread's context.
    if (!SerialIconvInPlace()) {
      std::fprintf(stderr,
                   "SMB client library: its character-set conversions cannot be kept apart "
                   "between threads; SMB calls are made one at a time\n");
      return false;
    }
    return true;
  }();
  return per_thread;
}

std::atomic<bool> library_per_thread{false};

// The library also makes process-wide state lazily during the first
// connection that gets through (character-set converters, security
// mechanisms); first connections made at once in several threads fail now
// and then. Until one call has succeeded, calls are serialised.
std::atomic<bool> library_warm{false};

// The turns of the calls made before the library is warm. Not the library's
// lock: contexts are made meanwhile, for a call that waits on a server that
// never answers must not hold up the threads that start.
std::timed_mutex& WarmUpMutex() {
  static std::timed_mutex mutex;
  return mutex;
}

// Held around a call into the library that may wait on the network: the
// library's one lock where it does not run per thread; a turn of at most
// kWarmUpTurnMs until it has made its lazy state; else nothing.
class NetworkCallLock {
 public:
  NetworkCallLock() {
    if (!library_per_thread.load(std::memory_order_acquire)) {
      lock_ = std::unique_lock<std::mutex>(LibraryMutex());
    } else if (!library_warm.load(std::memory_order_acquire)) {
      // Past the wait the call ahead is waiting on its server, not setting
      // up the library: this call goes on beside it, without the turn.
      turn_ = std::unique_lock<std::timed_mutex>(WarmUpMutex(),
                                                 std::chrono::milliseconds(kWarmUpTurnMs));
    }
  }
  // The call reached a server and succeeded.
  void Succeeded() { library_warm.store(true, std::memory_order_release); }

 private:
  std::unique_lock<std::mutex> lock_;
  std::unique_lock<std::timed_mutex> turn_;
};

class SmbFolderListing;

// Everything one thread keeps for one SmbNetwork.
struct ThreadContext {
  SMBCCTX* ctx = nullptr;
  std::map<std::string, NetAccount> accounts;  // by upper-case computer name
  std::vector<SmbFolderListing*> open_listings;

  ~ThreadContext() {
    if (ctx == nullptr) return;
    std::lock_guard<std::mutex> lock(LibraryMutex());
    smbc_free_context(ctx, 1);
  }
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void CopyBounded(char* out, int out_len, const std::string& value) {
  if (out_len <= 0) return;
  size_t n = std::min(value.size(), static_cast<size_t>(out_len - 1));
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
}

// The account recorded for server by this thread, else the guest.
const NetAccount* AccountFor(ThreadContext* tc, const char* server) {
  static const NetAccount guest = GuestAccount();
  if (tc == nullptr || server == nullptr) return &guest;
  auto it = tc->accounts.find(Upper(server));
  return it != tc->accounts.end() ? &it->second : &guest;
}

void AuthWithContext(SMBCCTX* c, const char* server, const char* /*share*/, char* workgroup,
                     int workgroup_len, char* user, int user_len, char* password,
                     int password_len) {
  auto* tc = static_cast<ThreadContext*>(smbc_getOptionUserData(c));
  const NetAccount& account = *AccountFor(tc, server);
  CopyBounded(user, user_len, account.user);
  CopyBounded(password, password_len, account.password);
  // An account without a domain keeps the configured workgroup.
  if (!account.domain.empty()) CopyBounded(workgroup, workgroup_len, account.domain);
}

// Sets the context's Kerberos options for the account recorded for
// computer, before a call that may open a connection to it: the ticket
// cache of the account running the program first, then user and password.
// Connections already made keep the login they were made with.
void UseAccountOf(ThreadContext* tc, const std::string& computer) {
  const bool kerberos = AccountFor(tc, computer.c_str())->kerberos;
  smbc_setOptionUseKerberos(tc->ctx, kerberos ? 1 : 0);
  smbc_setOptionFallbackAfterKerberos(tc->ctx, 1);
  smbc_setOptionUseCCache(tc->ctx, kerberos ? 1 : 0);
}

NetStatus StatusFromErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return NetStatus::kAccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EINVAL:
      return NetStatus::kNotFound;
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ECONNRESET:
    case ECONNABORTED:
    case EHOSTDOWN:
      return NetStatus::kUnreachable;
    case ENOTDIR:
      return NetStatus::kNotContainer;
    default:
      return NetStatus::kError;
  }
}

std::string DirentName(const struct smbc_dirent* entry) {
  return std::string(entry->name, strnlen(entry->name, entry->namelen + 1));
}

// Reads a whole enumeration of url: every entry with its libsmbclient type
// (SMBC_FILE_SHARE, SMBC_DIR, ...); the callers pick the types they want.
NetStatus ReadDirents(SMBCCTX* ctx, const std::string& url,
                      std::vector<std::pair<unsigned, std::string>>* entries) {
  NetworkCallLock lock;
  errno = 0;
  SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
  if (dir == nullptr) return StatusFromErrno(errno);
  while (const struct smbc_dirent* entry = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
    entries->emplace_back(entry->smbc_type, DirentName(entry));
  }
  smbc_getFunctionClosedir(ctx)(ctx, dir);
  lock.Succeeded();
  return NetStatus::kOk;
}

class SmbFolderListing : public FolderListing {
 public:
  SmbFolderListing(ThreadContext* tc, SMBCFILE* dir, std::string folder)
      : tc_(tc), dir_(dir), folder_(std::move(folder)) {
    tc_->open_listings.push_back(this);
  }

  ~SmbFolderListing() override {
    {
      NetworkCallLock lock;
      smbc_getFunctionClosedir(tc_->ctx)(tc_->ctx, dir_);
    }
    auto& open = tc_->open_listings;
    for (auto it = open.end(); it != open.begin();) {
      --it;
      if (*it == this) {
        open.erase(it);
        break;
      }
    }
  }

  NetStatus Next(FindData* entry) override {
    {
      NetworkCallLock lock;
      struct stat st {};
      const struct libsmb_file_info* info =
          smbc_getFunctionReaddirPlus2(tc_->ctx)(tc_->ctx, dir_, &st);
      if (info == nullptr || info->name == nullptr) {
        has_last_ = false;
        return NetStatus::kNoMoreItems;
      }
      last_.name = info->name;
      last_.attributes.attributes = info->attrs;
      last_.attributes.size = static_cast<uint64_t>(info->size);
      last_.attributes.file_id = static_cast<uint64_t>(st.st_ino);
    }
    if (last_.attributes.attributes == 0) last_.attributes.attributes = kAttributeNormal;
    if ((last_.attributes.attributes & kAttributeDirectory) != 0) last_.attributes.size = 0;
    has_last_ = true;
    *entry = last_;
    return NetStatus::kOk;
  }

  // The attributes of path when it is the entry returned last.
  bool Answer(const std::string& path, FileAttributes* attributes) const {
    if (!has_last_) return false;
    if (path.size() != folder_.size() + 1 + last_.name.size()) return false;
    if (path.compare(0, folder_.size(), folder_) != 0) return false;
    if (path[folder_.size()] != '\\') return false;
    if (path.compare(folder_.size() + 1, std::string::npos, last_.name) != 0) return false;
    *attributes = last_.attributes;
    return true;
  }

 private:
  ThreadContext* tc_;
  SMBCFILE* dir_;
  std::string folder_;
  FindData last_;
  bool has_last_ = false;
};

// Whether a computer named by a dotted address accepts a connection on its
// SMB port (or on 445 or 139 when no port is set) within the timeout. Other
// names are left to the library's own name resolution: true.
bool ProbeComputer(const std::string& computer, int port, int timeout_ms) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  if (getaddrinfo(computer.c_str(), nullptr, &hints, &found) != 0) return true;
  sockaddr_in address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  std::vector<int> ports = port != 0 ? std::vector<int>{port} : std::vector<int>{445, 139};
  for (int p : ports) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;
    address.sin_port = htons(static_cast<uint16_t>(p));
    bool answers = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      answers = true;
    } else if (errno == EINPROGRESS) {
      pollfd waiting{fd, POLLOUT, 0};
      if (::poll(&waiting, 1, timeout_ms) == 1) {
        int error = 0;
        socklen_t length = sizeof error;
        answers = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
      }
    }
    ::close(fd);
    if (answers) return true;
  }
  return false;
}

thread_local std::unordered_map<uint64_t, std::unique_ptr<ThreadContext>> thread_contexts;

ThreadContext* ContextFor(uint64_t id, const SmbOptions& options) {
  auto it = thread_contexts.find(id);
  if (it != thread_contexts.end()) return it->second.get();

  auto tc = std::make_unique<ThreadContext>();
  {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    library_per_thread.store(LibraryRunsPerThread(), std::memory_order_release);
    SMBCCTX* ctx = smbc_new_context();
    if (ctx != nullptr) {
      smbc_setDebug(ctx, 0);
      smbc_setOptionUserData(ctx, tc.get());
      smbc_setFunctionAuthDataWithContext(ctx, AuthWithContext);
      smbc_setOptionUseKerberos(ctx, 0);
      smbc_setOptionFallbackAfterKerberos(ctx, 1);
      smbc_setOptionUseCCache(ctx, 0);
      smbc_setTimeout(ctx, options.timeout_ms);
      int port = options.port;
      if (port != 0) smbc_setPort(ctx, static_cast<uint16_t>(port));
      if (smbc_init_context(ctx) == nullptr) {
        smbc_free_context(ctx, 1);
        ctx = nullptr;
      }
      // The configuration is the library's global state; loading it after
      // the first context's start makes it override the system's for every
      // context. It is loaded once per file: a load also replaces the
      // library's character-set converters, which other threads' calls are
      // using.
      const std::string config = SmbConfigFile(options);
      static std::string loaded_config;
      static bool loaded = false;
      if (ctx != nullptr && !config.empty() && config != loaded_config) {
        loaded_config = config;
        loaded = smbc_setConfiguration(ctx, config.c_str()) == 0;
        if (!loaded) {
          std::fprintf(stderr, "SMB client configuration %s cannot be loaded\n", config.c_str());
        }
      }
      if (ctx != nullptr && !config.empty() && !loaded) {
        smbc_free_context(ctx, 1);
        ctx = nullptr;
      }
    }
    tc->ctx = ctx;
  }
  ThreadContext* raw = tc.get();
  thread_contexts.emplace(id, std::move(tc));
  return raw;
}

}  // namespace

int SmbPortFromEnvironment() {
  const char* text = std::getenv("TELLWEN_SMB_PORT");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  long port = std::strtol(text, &end, 10);
  if (*end != '\0' || port <= 0 || port > 65535) return 0;
  return static_cast<int>(port);
}

std::string SmbConfigFile(const SmbOptions& options) {
  if (!options.config_file.empty()) return options.config_file;
  const char* text = std::getenv("TELLWEN_SMB_CONF");
  return text != nullptr ? text : "";
}

SmbNetwork::SmbNetwork(SmbOptions options)
    : options_(std::move(options)), id_(next_network_id.fetch_add(1)) {
  // A program that sets no port (the web extension) still honours
  // $TELLWEN_SMB_PORT, as the contract says.
  if (options_.port == 0) options_.port = SmbPortFromEnvironment();
}

SmbNetwork::~SmbNetwork() = default;

NetStatus SmbNetwork::AddConnection(const NetResource& resource, const NetAccount& account) {
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) return NetStatus::kError;
  std::string computer = ComputerOfUnc(resource.remote_name);
  if (computer.empty()) return NetStatus::kNotFound;
  tc->accounts[Upper(computer)] = account;
  return NetStatus::kOk;
}

NetStatus SmbNetwork::CancelConnection(const std::string& name, bool /*force*/) {
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) return NetStatus::kError;
  tc->accounts.erase(Upper(ComputerOfUnc(name)));
  NetworkCallLock lock;
  // Sessions still used by an open listing of this thread are kept by the
  // library; the others are closed.
  smbc_getFunctionPurgeCachedServers(tc->ctx)(tc->ctx);
  return NetStatus::kOk;
}

std::unique_ptr<ResourceEnumeration> SmbNetwork::OpenEnum(const NetResource* container,
                                                          NetStatus* status) {
  std::vector<NetResource> resources;
  auto done = [&](NetStatus result) -> std::unique_ptr<ResourceEnumeration> {
    *status = result;
    if (result != NetStatus::kOk) return nullptr;
    return std::make_unique<ListedResources>(std::move(resources));
  };

  if (container == nullptr) {
    NetResource provider;
    provider.scope = kScopeGlobalNet;
    provider.display_type = kDisplayNetwork;
    provider.usage = kUsageContainer;
    provider.remote_name = options_.provider_name;
    provider.provider = options_.provider_name;
    resources.push_back(provider);
    return done(NetStatus::kOk);
  }

  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) return done(NetStatus::kError);

  const std::string& name = container->remote_name;
  bool is_unc = name.size() >= 2 && name[0] == '\\' && name[1] == '\\';
  if (is_unc && name.find('\\', 2) != std::string::npos) {
    return done(NetStatus::kNotContainer);  // a share or a folder
  }

  std::string url;
  if (is_unc) {
    if (!ProbeComputer(ComputerOfUnc(name), options_.port, options_.timeout_ms)) {
      return done(NetStatus::kUnreachable);
    }
    url = UncToSmbUrl(name);
  } else if (container->display_type == kDisplayNetwork) {
    url = "smb://";
  } else {
    url = WorkgroupToSmbUrl(name);
  }

  UseAccountOf(tc, is_unc ? ComputerOfUnc(name) : "");
  std::vector<std::pair<unsigned, std::string>> entries;
  NetStatus read = ReadDirents(tc->ctx, url, &entries);
  if (read != NetStatus::kOk) return done(read);

  for (const auto& [type, entry_name] : entries) {
    NetResource r;
    r.scope = kScopeGlobalNet;
    r.provider = options_.provider_name;
    switch (type) {
      case SMBC_WORKGROUP:
        r.display_type = kDisplayDomain;
        r.usage = kUsageContainer;
        r.remote_name = entry_name;
        break;
      case SMBC_SERVER:
        r.display_type = kDisplayServer;
        r.usage = kUsageContainer;
        r.remote_name = "\\\\" + entry_name;
        break;
      case SMBC_FILE_SHARE:
      case SMBC_PRINTER_SHARE:
      case SMBC_COMMS_SHARE:
      case SMBC_IPC_SHARE:
        r.display_type = kDisplayShare;
        r.type = type == SMBC_FILE_SHARE      ? kTypeDisk
                 : type == SMBC_PRINTER_SHARE ? kTypePrint
                                              : kTypeAny;
        r.usage = kUsageConnectable;
        r.remote_name = name + "\\" + entry_name;
        break;
      default:
        continue;
    }
    resources.push_back(std::move(r));
  }
  return done(NetStatus::kOk);
}

NetStatus SmbNetwork::ShareList(const std::string& computer, std::vector<std::string>* names) {
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) return NetStatus::kError;
  std::string bare = ComputerOfUnc(computer);
  if (bare.empty()) return NetStatus::kNotFound;
  if (!ProbeComputer(bare, options_.port, options_.timeout_ms)) return NetStatus::kUnreachable;
  UseAccountOf(tc, bare);
  std::vector<std::pair<unsigned, std::string>> entries;
  NetStatus read = ReadDirents(tc->ctx, UncToSmbUrl("\\\\" + bare), &entries);
  if (read != NetStatus::kOk) return read;
  for (const auto& [type, name] : entries) {
    if (type == SMBC_FILE_SHARE || type == SMBC_PRINTER_SHARE || type == SMBC_COMMS_SHARE ||
        type == SMBC_IPC_SHARE) {
      names->push_back(name);
    }
  }
  return NetStatus::kOk;
}

std::unique_ptr<FolderListing> SmbNetwork::FindFirst(const std::string& folder, NetStatus* status) {
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) {
    *status = NetStatus::kError;
    return nullptr;
  }
  UseAccountOf(tc, ComputerOfUnc(folder));
  SMBCFILE* dir;
  {
    NetworkCallLock lock;
    errno = 0;
    dir = smbc_getFunctionOpendir(tc->ctx)(tc->ctx, UncToSmbUrl(folder).c_str());
    if (dir == nullptr) {
      *status = StatusFromErrno(errno);
      return nullptr;
    }
    lock.Succeeded();
  }
  *status = NetStatus::kOk;
  return std::make_unique<SmbFolderListing>(tc, dir, folder);
}

NetStatus SmbNetwork::GetFileAttributes(const std::string& path, FileAttributes* attributes) {
  *attributes = FileAttributes{};
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) return NetStatus::kError;
  for (auto it = tc->open_listings.rbegin(); it != tc->open_listings.rend(); ++it) {
    if ((*it)->Answer(path, attributes)) return NetStatus::kOk;
  }
  UseAccountOf(tc, ComputerOfUnc(path));
  struct stat st {};
  {
    NetworkCallLock lock;
    errno = 0;
    if (smbc_getFunctionStat(tc->ctx)(tc->ctx, UncToSmbUrl(path).c_str(), &st) != 0) {
      *attributes = FileAttributes{};
      return StatusFromErrno(errno);
    }
    lock.Succeeded();
  }
  attributes->file_id = static_cast<uint64_t>(st.st_ino);
  if (S_ISDIR(st.st_mode)) {
    attributes->attributes = kAttributeDirectory;
    attributes->size = 0;
  } else {
    attributes->attributes = kAttributeNormal;
    attributes->size = static_cast<uint64_t>(st.st_size);
  }
  return NetStatus::kOk;
}

namespace {

class SmbFileReader : public FileReader {
 public:
  SmbFileReader(SMBCCTX* ctx, SMBCFILE* file, uint64_t size)
      : ctx_(ctx), file_(file), size_(size) {}
  ~SmbFileReader() override {
    NetworkCallLock lock;
    smbc_getFunctionClose(ctx_)(ctx_, file_);
  }
  uint64_t size() const override { return size_; }
  NetStatus Read(char* buffer, size_t capacity, size_t* got) override {
    NetworkCallLock lock;
    errno = 0;
    const ssize_t n = smbc_getFunctionRead(ctx_)(ctx_, file_, buffer, capacity);
    if (n < 0) {
      *got = 0;
      return StatusFromErrno(errno);
    }
    *got = static_cast<size_t>(n);
    return NetStatus::kOk;
  }

 private:
  SMBCCTX* ctx_;
  SMBCFILE* file_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<FileReader> SmbNetwork::OpenFile(const std::string& path, NetStatus* status) {
  ThreadContext* tc = ContextFor(id_, options_);
  if (tc->ctx == nullptr) {
    *status = NetStatus::kError;
    return nullptr;
  }
  const std::string computer = ComputerOfUnc(path);
  if (!ProbeComputer(computer, options_.port, options_.connect_timeout_ms)) {
    *status = NetStatus::kUnreachable;
    return nullptr;
  }
  const std::string url = UncToSmbUrl(path);
  UseAccountOf(tc, computer);
  NetworkCallLock lock;
  struct stat st {};
  errno = 0;
  if (smbc_getFunctionStat(tc->ctx)(tc->ctx, url.c_str(), &st) != 0) {
    *status = StatusFromErrno(errno);
    return nullptr;
  }
  if (S_ISDIR(st.st_mode)) {
    *status = NetStatus::kNotFound;
    return nullptr;
  }
  SMBCFILE* file = smbc_getFunctionOpen(tc->ctx)(tc->ctx, url.c_str(), O_RDONLY, 0);
  if (file == nullptr) {
    *status = StatusFromErrno(errno);
    return nullptr;
  }
  lock.Succeeded();
  *status = NetStatus::kOk;
  return std::make_unique<SmbFileReader>(tc->ctx, file, static_cast<uint64_t>(st.st_size));
}

}  // namespace tellwen::net
