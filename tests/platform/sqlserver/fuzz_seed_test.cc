// Replays the fuzz targets' seed corpus, so the normal test run catches a
// crash that a fuzzer once found: every seed through the lexer and parser,
// then run as a batch on a scratch database, as the whole-server target runs
// it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sqlserver/parser.h"
#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(TELLWEN_FUZZ_SEEDS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    seeds.push_back(text.str());
  }
  return seeds;
}

TEST(FuzzSeeds, ParseWithoutCrashing) {
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& seed : seeds) {
    Batch batch;
    std::string error;
    ParseBatch(seed, &batch, &error);
  }
  EXPECT_GT(seeds.size(), 5u);
}

using FuzzSeedsRun = ServerTest;

TEST_F(FuzzSeedsRun, ExecuteOnAScratchDatabaseWithoutCrashing) {
  auto scratch = Connect("kiv", "sa", "", /*command_timeout=*/2);
  ASSERT_TRUE(scratch);
  for (const std::string& seed : Seeds()) {
    BatchResult result;
    SqlError error;
    if (!scratch->Execute(seed, &result, &error)) {
      EXPECT_FALSE(error.description.empty()) << seed.substr(0, 200);
    }
  }
  // The connection still answers.
  EXPECT_EQ(One("select 40 + 2", scratch.get()), "42");
}

}  // namespace
}  // namespace tellwen::sqlserver
