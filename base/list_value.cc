#include "base/list_value.h"

namespace tellwen {

std::vector<std::string> SplitListValue(const std::string& value) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t bar = value.find('|', start);
    fields.push_back(value.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return fields;
}

std::vector<std::string> ReadListValue(const std::string& value) {
  std::vector<std::string> fields = SplitListValue(value);
  std::vector<std::string> entries;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (!fields[i].empty()) entries.push_back(std::move(fields[i]));
  }
  return entries;
}

std::string MakeListValue(const std::vector<std::string>& entries) {
  std::string value = "0";
  for (const std::string& entry : entries) value += "|" + entry;
  return value;
}

}  // namespace tellwen
