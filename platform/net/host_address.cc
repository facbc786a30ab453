#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

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

// One asynchronous look-up: the request and everything it points to, kept
// together so that a look-up left running at its deadline can be kept alive
// until the library has finished with it.
struct LookUp {
  std::string name;
  addrinfo hints{};
  gaicb request{};
};

// Look-ups left running at their deadline. They run on the C library's own
// threads (no code of this program runs there, so the web extension may be
// unloaded meanwhile); each is freed by the first call that finds it done.
std::mutex abandoned_mutex;
std::vector<std::unique_ptr<LookUp>> abandoned;

void FreeResult(LookUp& look_up) {
  if (look_up.request.ar_result != nullptr) freeaddrinfo(look_up.request.ar_result);
  look_up.request.ar_result = nullptr;
}

// Frees the abandoned look-ups that have finished; the number still running.
size_t SweepAbandoned() {
  std::lock_guard<std::mutex> lock(abandoned_mutex);
  for (auto it = abandoned.begin(); it != abandoned.end();) {
    if (gai_error(&(*it)->request) == EAI_INPROGRESS) {
      ++it;
    } else {
      FreeResult(**it);
      it = abandoned.erase(it);
    }
  }
  return abandoned.size();
}

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

}  // namespace

bool ResolveIPv4(const std::string& name, uint32_t* address, int timeout_ms) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (IsReservedInvalidName(name)) return false;
  in_addr dotted{};
  if (inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
    *address = dotted.s_addr;
    return true;
  }
  if (SweepAbandoned() >= kMaxAbandonedLookUps) return false;

  auto look_up = std::make_unique<LookUp>();
  look_up->name = name;
  look_up->hints.ai_family = AF_INET;
  look_up->hints.ai_socktype = SOCK_DGRAM;
  look_up->request.ar_name = look_up->name.c_str();
  look_up->request.ar_request = &look_up->hints;
  gaicb* requests[] = {&look_up->request};
  if (getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0) return false;

  // The wait is a real one (the name server's answer), measured on the
  // steady clock.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 1));
  while (gai_error(&look_up->request) == EAI_INPROGRESS) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) break;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    const gaicb* waiting[] = {&look_up->request};
    gai_suspend(waiting, 1, &wait);  // returns at completion, timeout or a signal
  }
  if (gai_error(&look_up->request) == EAI_INPROGRESS &&
      gai_cancel(&look_up->request) != EAI_CANCELED) {
    // Running on the library's thread: it still writes into the request.
    if (gai_error(&look_up->request) == EAI_INPROGRESS) {
      std::lock_guard<std::mutex> lock(abandoned_mutex);
      abandoned.push_back(std::move(look_up));
      return false;
    }
  }
  const bool ok =
      gai_error(&look_up->request) == 0 && FirstIPv4(look_up->request.ar_result, address);
  FreeResult(*look_up);
  return ok;
}

}  // namespace tellwen::net
