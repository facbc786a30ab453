// libFuzzer target for the extension's request parser: any query string and
// posted data (the input's first line and the rest) must parse or be refused
// with a cause, without crashing or reading out of bounds, and a parsed
// request always carries one value per parameter of its command.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "query/command_params.h"
#include "query/parse_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tellwen::query::CParseMap* map = [] {
    auto* built = new tellwen::query::CParseMap('&');
    built->AddCommand("Command", tellwen::query::CommandParamList());
    built->AddCommand("Default", "");
    built->SetDefaultCommand("Default");
    return built;
  }();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t newline = text.find('\n');
  const std::string_view query = text.substr(0, newline);
  const std::string_view posted =
      newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
  const tellwen::query::ParsedRequest request = map->Parse(query, posted);
  if (request.cause == tellwen::query::kParseOk &&
      request.values.size() != map->ParamNames(request.command).size()) {
    abort();
  }
  return 0;
}
