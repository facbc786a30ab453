// Replays the parse map fuzz target's seeds through the parser, split the way
// the target splits its input, so the normal test run catches what the
// fuzzer once found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "query/command_params.h"
#include "query/parse_map.h"

namespace tellwen::query {
namespace {

TEST(ParseMapFuzzSeeds, ParseWithoutCrashing) {
  CParseMap map;
  map.AddCommand("Command", CommandParamList());
  map.AddCommand("Default", "");
  map.SetDefaultCommand("Default");
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TELLWEN_QUERY_FUZZ_SEEDS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string data = text.str();
    // The fuzz target's split: the first line is the query string, the rest
    // the posted data.
    const size_t newline = data.find('\n');
    const std::string query = data.substr(0, newline);
    const std::string posted = newline == std::string::npos ? "" : data.substr(newline + 1);
    ParsedRequest request = map.Parse(query, posted);
    if (request.cause == kParseOk) {
      EXPECT_EQ(request.values.size(), map.ParamNames(request.command).size());
      CommandParams::FromValues(request.values);
    }
    ++count;
  }
  EXPECT_GE(count, 8u);
}

}  // namespace
}  // namespace tellwen::query
