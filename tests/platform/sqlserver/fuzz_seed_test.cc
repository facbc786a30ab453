// Replays the fuzz target's seed corpus through the lexer and parser, so the
// normal test run catches a crash that the fuzzer once found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sqlserver/parser.h"

namespace tellwen::sqlserver {
namespace {

TEST(FuzzSeeds, ParseWithoutCrashing) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TELLWEN_FUZZ_SEEDS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    Batch batch;
    std::string error;
    ParseBatch(text.str(), &batch, &error);
    ++count;
  }
  EXPECT_GT(count, 5u);
}

}  // namespace
}  // namespace tellwen::sqlserver
