#include "indexer/core/script_splitter.h"

#include <utility>

namespace tellwen::indexer {
namespace {

constexpr std::string_view kMarker = "--#-";

void ReplaceFirst(std::string& line, std::string_view placeholder, const std::string& value) {
  const size_t pos = line.find(placeholder);
  if (pos != std::string::npos) line.replace(pos, placeholder.size(), value);
}

}  // namespace

bool IsHiddenTask(const std::string& name) { return name.rfind("DONT-", 0) == 0; }

std::vector<ScriptTask> SplitScript(std::string_view script_template,
                                    const ScriptPlaceholders& values) {
  std::vector<ScriptTask> tasks;
  std::string name;
  std::string body;
  size_t begin = 0;
  while (begin < script_template.size()) {
    size_t end = script_template.find('\n', begin);
    if (end == std::string_view::npos) end = script_template.size();
    std::string line(script_template.substr(begin, end - begin));
    begin = end + 1;

    ReplaceFirst(line, "$$$tmpfolder$$$", values.tmpfolder);
    ReplaceFirst(line, "$$$database$$$", values.database);
    ReplaceFirst(line, "$$$indexdata$$$", values.indexdata);
    ReplaceFirst(line, "$$$loginuser$$$", values.loginuser);
    ReplaceFirst(line, "$$$maxhours$$$", values.maxhours);

    if (line.rfind(kMarker, 0) == 0) {
      if (!name.empty() && !body.empty()) tasks.push_back({std::move(name), std::move(body)});
      name = line.substr(kMarker.size());
      body.clear();
    } else {
      body += line;
      body += '\n';
    }
  }
  if (!name.empty() && !body.empty()) tasks.push_back({std::move(name), std::move(body)});
  return tasks;
}

}  // namespace tellwen::indexer
