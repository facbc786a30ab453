#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tellwen::net {

bool IsReservedInvalidName(const std::string& name) {
  std::string lower;
  lower.reserve(name.size());
  for (char c : name)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  while (!lower.empty() && lower.back() == '.') lower.pop_back();
  const std::string tld = "invalid";
  if (lower == tld) return true;
  return lower.size() > tld.size() &&
         lower.compare(lower.size() - tld.size(), tld.size(), tld) == 0 &&
         lower[lower.size() - tld.size() - 1] == '.';
}

bool IsForbiddenEchoTarget(uint32_t address) {
  const uint32_t host = ntohl(address);
  return (host >> 24) == 0 || host == 0xFFFFFFFFu;
}

std::string AddressText(uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &in, text, sizeof text) == nullptr) return "?";
  return text;
}

namespace {

// One look-up, shared by the caller that waits for it and the thread that
// runs it: whichever leaves last frees it.
struct LookUp {
  explicit LookUp(std::string n) : name(std::move(n)) {}
  const std::string name;
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;     // guarded by mutex
  bool found = false;    // guarded by mutex
  uint32_t address = 0;  // guarded by mutex
};

// Look-ups whose thread has not ended yet, waited for or abandoned.
std::atomic<size_t> running_look_ups{0};

bool FirstIPv4(const addrinfo* found, uint32_t* address) {
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
        entry->ai_addrlen >= sizeof(sockaddr_in)) {
      *address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      return true;
    }
  }
  return false;
}

void RunLookUp(const std::shared_ptr<LookUp>& look_up) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  uint32_t address = 0;
  const bool ok = getaddrinfo(look_up->name.c_str(), nullptr, &hints, &found) == 0 &&
                  FirstIPv4(found, &address);
  if (found != nullptr) freeaddrinfo(found);
  std::lock_guard<std::mutex> lock(look_up->mutex);
  look_up->done = true;
  look_up->found = ok;
  look_up->address = address;
  look_up->done_changed.notify_all();
}

// This code may live in a library that its host unloads (the web
// extension). A look-up thread can outlive its caller, so the first one
// pins the library that holds this code for the rest of the process.
void PinThisCode() {
  static std::once_flag once;
  std::call_once(once, [] {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PinThisCode), &info) != 0 && info.dli_fname != nullptr)
      dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  });
}

}  // namespace

bool ResolveIPv4(const std::string& name, uint32_t* address, int timeout_ms) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (IsReservedInvalidName(name)) return false;
  in_addr dotted{};
  if (inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
    *address = dotted.s_addr;
    return true;
  }
  // Claim a slot; a silent name server cannot pile up threads.
  size_t running = running_look_ups.load();
  do {
    if (running >= kMaxRunningLookUps) return false;
  } while (!running_look_ups.compare_exchange_weak(running, running + 1));

  PinThisCode();
  auto look_up = std::make_shared<LookUp>(name);
  try {
    std::thread([look_up] {
      RunLookUp(look_up);
      running_look_ups.fetch_sub(1);
    }).detach();
  } catch (const std::system_error&) {
    running_look_ups.fetch_sub(1);
    return false;
  }
  std::unique_lock<std::mutex> lock(look_up->mutex);
  look_up->done_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 1)),
                                 [&] { return look_up->done; });
  if (!look_up->done || !look_up->found) return false;
  *address = look_up->address;
  return true;
}

}  // namespace tellwen::net
