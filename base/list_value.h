// List values: settings holding fields separated by "|" whose first field is
// a placeholder ("0" in every default). Address lists, access lists, the
// members list and the categories are list values.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <vector>

namespace tellwen {

// Every field of the value, the placeholder included ("" gives one empty field).
std::vector<std::string> SplitListValue(const std::string& value);

// The entries of a list value: every field after the placeholder, empty
// fields skipped. "0" and "" give no entries.
std::vector<std::string> ReadListValue(const std::string& value);

// Builds a list value from entries: "0" followed by "|" + entry for each.
std::string MakeListValue(const std::vector<std::string>& entries);

}  // namespace tellwen
