// libFuzzer target for the mDNS responses: any bytes must parse or be
// dropped, without crashing, looping or reading out of bounds; every
// service read from a parsed response has a usable host name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/net/mdns_messages.h"
#include "platform/net/ws_discovery_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const auto records = tellwen::net::ParseMdnsResponse(data, size)) {
    for (const auto& service : tellwen::net::CollectSmbServices(*records)) {
      if (!tellwen::net::IsUsableComputerName(service.host)) abort();
    }
  }
  return 0;
}
