// The "Network search" dialog's rules: the include and exclude lists
// (IndexerIncludeList, IndexerExcludeList), how an entry is typed, checked
// and added, the address-range buttons and the range check, and the five
// settings behind the dialog.
//
// Entries are stored verbatim, one per list line: a computer "\\NAME" or
// "\\192.168.1.7", or a range "192.168.1.1 - 192.168.1.254". The lists are
// list values ("0", then "|" + line per line). The indexer reads them
// (common/address_list.h); addresses are parsed by its rule.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/user_messages.h"
#include "common/address_list.h"
#include "common/network_search_settings.h"
#include "common/settings.h"

namespace tellwen::admin {

using Octets = tellwen::Octets;

enum class EntryKind { kComputer, kRange };

struct Refusal {
  std::string text;
  MessageIcon icon = MessageIcon::kInformation;
};

// The line an entry text becomes: upper case (ASCII, as toupper does); a
// computer gets "\\" in front unless it starts with "\\" ("\X" gets one
// more "\").
std::string NormaliseEntry(const std::string& text, EntryKind kind);

// Checks an entry typed for a list named list_name ("include list" or
// "exclude list") holding lines: on success *line is the line to append.
// Refusals in their order: empty text, a line of two characters or fewer
// (or holding "|", which the stored list value cannot carry), a line
// already listed (compared without regard to case).
std::optional<Refusal> CheckNewEntry(const std::string& text, EntryKind kind,
                                     const std::string& list_name,
                                     const std::vector<std::string>& lines, std::string* line);

// "a.b.c.d"; the parse is the indexer's (anything malformed is 0.0.0.0).
std::string FormatAddress(const Octets& address);
Octets ParseAddress(const std::string& text);

struct AddressRange {
  Octets from{0, 0, 0, 0};
  Octets to{0, 0, 0, 0};
};

// "1..254": from a.b.c.0 (a.b.c.1 with ignore_zero) to a.b.c.255 (a.b.c.254
// with ignore_255), a.b.c taken from `from`.
AddressRange WholeClassC(const Octets& from, bool ignore_zero, bool ignore_255);
// "PrevC" / "NextC": the third octet one down / up (wrapping at 0 / 255),
// then as WholeClassC.
AddressRange PreviousClassC(const Octets& from, bool ignore_zero, bool ignore_255);
AddressRange NextClassC(const Octets& from, bool ignore_zero, bool ignore_255);

// Hosts above which adding a range asks first.
inline constexpr uint64_t kHugeRangeHosts = 100000;

struct RangeCheck {
  std::optional<Refusal> refusal;  // from > to
  std::string question;            // non-empty: ask before adding (yes adds)
  std::string entry;               // "\\a.b.c.d" when from == to, else "from - to"
  EntryKind kind = EntryKind::kRange;
};
RangeCheck CheckRange(const AddressRange& range);

inline constexpr const char* kIncludeListName = "include list";
inline constexpr const char* kExcludeListName = "exclude list";
inline constexpr const char* kNoSelectedInclude =
    "There are no selected items in the 'include' list.";
inline constexpr const char* kNoSelectedExclude =
    "There are no selected items in the 'exclude' list.";

struct NetworkSearch {
  bool search_entire_network = true;
  NetworkSearchSettings sources;  // which sources it asks, and where they may send
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  bool ignore_zero = true;
  bool ignore_255 = true;
};

// The lists without their placeholder, every further field a line in order.
NetworkSearch LoadNetworkSearch(Settings& settings);
// Writes MustEnumerateResourcesFromNetwork, IndexerIncludeList,
// IndexerExcludeList, IndexerIgnoreIPZero, IndexerIgnoreIP255, in this order,
// then the sources' settings (common/network_search_settings.h).
void StoreNetworkSearch(Settings& settings, const NetworkSearch& values);

}  // namespace tellwen::admin
