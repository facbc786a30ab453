#include "query/parse_map.h"

#include <strings.h>

#include "query/text_utils.h"

namespace tellwen::query {

const char* ParseCauseText(int cause) {
  static const char* const kTexts[] = {
      "No errors\n",
      "A required parameter was missing",
      "There were too many or too few parameters",
      "The command name was not found",
      "No stack space was available",
      "No CHtmlStream was available",
      "A parameter had a bad format ",
      "No parameters were available ",
      "A parameter had a bad format (ie, only one quote) ",
  };
  if (cause < 0 || cause > 8) return "";
  return kTexts[cause];
}

void CParseMap::AddCommand(const std::string& name, const std::string& params) {
  Command command;
  command.name = name;
  for (const std::string& piece : SplitText(params, ' ')) {
    const size_t eq = piece.find('=');
    command.params.push_back(piece.substr(0, eq));
    command.defaults.push_back(eq == std::string::npos ? std::string() : piece.substr(eq + 1));
  }
  commands_.push_back(std::move(command));
}

const CParseMap::Command* CParseMap::Find(std::string_view name) const {
  for (const Command& command : commands_) {
    if (command.name.size() == name.size() &&
        strncasecmp(command.name.data(), name.data(), name.size()) == 0) {
      return &command;
    }
  }
  return nullptr;
}

std::vector<std::string> CParseMap::ParamNames(const std::string& command) const {
  const Command* found = Find(command);
  return found ? found->params : std::vector<std::string>();
}

int CParseMap::ApplyPairs(const Command& command, std::string_view text,
                          std::vector<std::string>* values, bool* any) const {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(delimiter_, start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    const size_t eq = piece.find('=');
    if (eq == std::string_view::npos) return kParseBadParam;
    const std::string name = UrlDecode(piece.substr(0, eq));
    std::string value = UrlDecode(piece.substr(eq + 1));
    if (!value.empty() && value.front() == '"') {
      if (value.size() < 2 || value.back() != '"') return kParseBadQuote;
      value = value.substr(1, value.size() - 2);
    }
    size_t index = 0;
    while (index < command.params.size() && command.params[index] != name) ++index;
    if (index == command.params.size()) return kParseBadParam;
    (*values)[index] = std::move(value);
    *any = true;
  }
  return kParseOk;
}

ParsedRequest CParseMap::Parse(std::string_view query_string, std::string_view posted) const {
  ParsedRequest result;
  std::string_view name = query_string;
  std::string_view rest;
  const size_t mark = query_string.find('?');
  if (mark != std::string_view::npos) {
    name = query_string.substr(0, mark);
    rest = query_string.substr(mark + 1);
  } else if (query_string.find('=') != std::string_view::npos) {
    // Parameters without a command name go to the default command.
    name = {};
    rest = query_string;
  }
  const std::string decoded_name = UrlDecode(name);
  const Command* command = Find(decoded_name.empty() ? default_command_ : decoded_name);
  if (command == nullptr) {
    result.cause = kParseCommandNotFound;
    return result;
  }
  result.command = command->name;
  result.values = command->defaults;
  bool any = false;
  int cause = ApplyPairs(*command, rest, &result.values, &any);
  if (cause == kParseOk) cause = ApplyPairs(*command, posted, &result.values, &any);
  if (cause != kParseOk) {
    result.cause = cause;
    result.values.clear();
    return result;
  }
  if (any && command->params.empty()) result.cause = kParseParamCount;
  return result;
}

}  // namespace tellwen::query
