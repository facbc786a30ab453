// libFuzzer target for the WS-Discovery replies: any bytes must parse as a
// ProbeMatches or a metadata reply or be dropped, without crashing or
// reading out of bounds; whatever is kept is usable, and every XAddr kept
// is taken apart or refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/net/ws_discovery_messages.h"

namespace {
constexpr std::string_view kMessageId = "urn:uuid:00000000-0000-4000-8000-000000000000";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto matches = tellwen::net::ParseWsdProbeMatches(text, kMessageId)) {
    for (const auto& match : *matches) {
      if (match.endpoint.empty()) abort();
      for (const auto& xaddr : match.xaddrs) {
        const auto parts = tellwen::net::ParseHttpXAddr(xaddr);
        if (parts && (parts->host.empty() || parts->port == 0)) abort();
      }
    }
  }
  if (const auto computer = tellwen::net::ParseWsdMetadataResponse(text, kMessageId)) {
    if (!tellwen::net::IsUsableComputerName(computer->name)) abort();
  }
  return 0;
}
