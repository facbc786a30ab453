// The update script template: the T-SQL text that turns a loaded index file
// into the live catalog, carried inside the program (kivdb.sql, compiled in at
// build time; never read from disk at run time).
//
// The text is lines separated by line feeds: a header comment, then tasks,
// each opened by a marker line "--#-" + task name, with the placeholders
// $$$tmpfolder$$$, $$$database$$$, $$$indexdata$$$, $$$loginuser$$$ and
// $$$maxhours$$$ still in it. indexer/core/script_splitter.h cuts it into tasks.
//
// Thread safety: the returned text is immutable and lives for the whole run.
#pragma once

#include <string_view>

namespace tellwen {

std::string_view UpdateScriptTemplate();

}  // namespace tellwen
