// The parse map: which commands the extension answers and which named
// parameters each takes, and the parser that turns a request's query string
// and posted data into a command and its parameter values.
//
// Request form: the query string is the command name, optionally followed by
// "?" and parameters; posted form data holds further parameters. Parameters
// are "name=value" pieces separated by the delimiter ("&"); names and values
// are URL-decoded ("+" is a space) after the split, so an encoded "&" or "="
// stays inside its value. A parameter that the request does not give takes
// the map's default ("default" for every parameter of Command). A value
// wrapped in double quotes loses them; a value with only an opening quote is
// a parse error. A repeated parameter keeps its last value.
//
// Thread safety: a built map is read-only; Parse may run on many threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellwen::query {

// Parse error causes, numbered as the extension's report writes them.
enum ParseCause : int {
  kParseOk = 0,
  kParseMissingParam = 1,
  kParseParamCount = 2,
  kParseCommandNotFound = 3,
  kParseNoStack = 4,
  kParseNoStream = 5,
  kParseBadParam = 6,
  kParseNoParams = 7,
  kParseBadQuote = 8,
};

// The cause's text ("A parameter had a bad format (ie, only one quote) ").
const char* ParseCauseText(int cause);

struct ParsedRequest {
  int cause = kParseOk;
  std::string command;              // as named in the map
  std::vector<std::string> values;  // one per parameter of the command, in map order
};

class CParseMap {
 public:
  explicit CParseMap(char delimiter = '&') : delimiter_(delimiter) {}

  // Adds a command whose parameters are given as "name=default name=default".
  void AddCommand(const std::string& name, const std::string& params);
  // The command a request without a command name runs.
  void SetDefaultCommand(const std::string& name) { default_command_ = name; }

  // Parses the query string (as received, not decoded) and the posted data.
  ParsedRequest Parse(std::string_view query_string, std::string_view posted) const;

  // Parameter names of a command, in map order (empty for an unknown one).
  std::vector<std::string> ParamNames(const std::string& command) const;

 private:
  struct Command {
    std::string name;
    std::vector<std::string> params;
    std::vector<std::string> defaults;
  };
  const Command* Find(std::string_view name) const;
  int ApplyPairs(const Command& command, std::string_view text, std::vector<std::string>* values,
                 bool* any) const;

  char delimiter_;
  std::vector<Command> commands_;
  std::string default_command_;
};

}  // namespace tellwen::query
