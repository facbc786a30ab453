#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>

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

bool ResolveIPv4(const std::string& name, uint32_t* address) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (IsReservedInvalidName(name)) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr &&
        entry->ai_addrlen >= sizeof(sockaddr_in)) {
      *address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      ok = true;
      break;
    }
  }
  freeaddrinfo(found);
  return ok;
}

}  // namespace tellwen::net
