// The computer lists of the index job (IndexerIncludeList and
// IndexerExcludeList): list values whose fields are computer names ("\\PC1")
// or IPv4 address ranges ("192.168.1.1-192.168.1.254").
//
// Thread safety: pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tellwen {

using Octets = std::array<int, 4>;

// One end of a range: four dot-separated numbers 0..255, each in its plain
// decimal form (no leading zero, sign or blank). Anything else is 0.0.0.0.
Octets ParseRangeEnd(const std::string& text);

// Calls emit("\\" + address) for every address of the range field, each
// octet running over its own start..end, the last fastest. A field without
// exactly one "-" or with an empty end produces nothing. Returns the number
// of addresses produced.
uint64_t ExpandAddressRange(const std::string& field,
                            const std::function<void(const std::string&)>& emit);

// Calls emit for every computer of a list value, in order: a field starting
// with "\\" as it is, any other field expanded as an address range. The
// placeholder (first field) is skipped.
void ForEachListedComputer(const std::string& list_value,
                           const std::function<void(const std::string&)>& emit);

}  // namespace tellwen
