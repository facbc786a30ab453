// Replays the discovery fuzz targets' seeds through the parsers, so the
// normal test run catches what the fuzzers once found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/net/mdns_messages.h"
#include "platform/net/ws_discovery_messages.h"

namespace tellwen::net {
namespace {

constexpr std::string_view kMessageId = "urn:uuid:00000000-0000-4000-8000-000000000000";

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DiscoveryFuzzSeeds, WsdRepliesParseOrDropWithoutCrashing) {
  size_t count = 0;
  size_t parsed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TELLWEN_WSD_FUZZ_SEEDS)) {
    const std::string data = ReadAll(entry.path());
    if (ParseWsdProbeMatches(data, kMessageId)) ++parsed;
    if (const auto computer = ParseWsdMetadataResponse(data, kMessageId)) {
      EXPECT_TRUE(IsUsableComputerName(computer->name));
      ++parsed;
    }
    ++count;
  }
  EXPECT_GE(count, 4u);
  EXPECT_GE(parsed, 2u);  // the seeds hold good replies, not only bad ones
}

TEST(DiscoveryFuzzSeeds, MdnsResponsesParseOrDropWithoutCrashing) {
  size_t count = 0;
  size_t services = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TELLWEN_MDNS_FUZZ_SEEDS)) {
    const std::string data = ReadAll(entry.path());
    if (const auto records =
            ParseMdnsResponse(reinterpret_cast<const uint8_t*>(data.data()), data.size())) {
      services += CollectSmbServices(*records).size();
    }
    ++count;
  }
  EXPECT_GE(count, 4u);
  EXPECT_GE(services, 1u);
}

}  // namespace
}  // namespace tellwen::net
