// The logic of kivsql, apart from main so that tests drive it.
//
// Thread safety: one call at a time per output stream.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tellwen {

// Splits a script into batches at lines holding only "go" (any case, blanks
// around it allowed). Empty batches are dropped.
std::vector<std::string> SplitBatches(const std::string& script);

// Runs the command line; returns the exit status (0 success, 1 error,
// 2 usage).
int RunKivSql(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tellwen
