// The update script splitter: cuts the update script template into named
// tasks and fills its placeholders.
//
// A marker line begins with "--#-"; the rest of it is the task name. A task's
// body is every following line up to the next marker, each followed by "\n".
// Lines before the first marker (the header comment) are dropped, and so is a
// task whose name or body is empty. In every line the first occurrence of
// each placeholder is replaced, in the order $$$tmpfolder$$$, $$$database$$$,
// $$$indexdata$$$, $$$loginuser$$$, $$$maxhours$$$; a second occurrence of the
// same placeholder on one line stays as it is.
//
// A task whose name begins with "DONT-" is hidden: it runs like any other but
// has no row in the update dialog.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tellwen::indexer {

struct ScriptTask {
  std::string name;
  std::string body;
};

// The values that replace the placeholders.
struct ScriptPlaceholders {
  std::string tmpfolder;  // TemporaryFolder
  std::string database;   // SqlDatabase
  std::string indexdata;  // LastIndexData ("5000" when no scan was recorded)
  std::string loginuser;  // SqlUser
  std::string maxhours;   // SqlComputerExpireHours
};

std::vector<ScriptTask> SplitScript(std::string_view script_template,
                                    const ScriptPlaceholders& values);

// True for a hidden task (name beginning with "DONT-").
bool IsHiddenTask(const std::string& name);

}  // namespace tellwen::indexer
