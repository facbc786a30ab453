#include "admin/core/network_lists.h"

#include <cctype>

#include "base/list_value.h"

namespace tellwen::admin {
namespace {

std::string Upper(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

uint32_t AsNumber(const Octets& address) {
  return (static_cast<uint32_t>(address[0]) << 24) | (static_cast<uint32_t>(address[1]) << 16) |
         (static_cast<uint32_t>(address[2]) << 8) | static_cast<uint32_t>(address[3]);
}

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string NormaliseEntry(const std::string& text, EntryKind kind) {
  std::string line = Upper(text);
  if (kind == EntryKind::kComputer) {
    if (line.rfind("\\\\", 0) == 0) return line;
    if (line.rfind("\\", 0) == 0) return "\\" + line;
    return "\\\\" + line;
  }
  return line;
}

std::optional<Refusal> CheckNewEntry(const std::string& text, EntryKind kind,
                                     const std::string& list_name,
                                     const std::vector<std::string>& lines, std::string* line) {
  const bool computer = kind == EntryKind::kComputer;
  if (text.empty()) {
    return Refusal{std::string(computer ? "Enter a valid server to add to "
                                        : "Enter a valid range to add to ") +
                       list_name + ".",
                   MessageIcon::kInformation};
  }
  std::string normalised = NormaliseEntry(text, kind);
  // A "|" would split the stored list value into two entries.
  if (normalised.size() <= 2 || normalised.find('|') != std::string::npos) {
    return Refusal{computer ? "Invalid server name." : "Invalid range.", MessageIcon::kError};
  }
  const std::string key = Upper(normalised);
  for (const std::string& listed : lines) {
    if (Upper(listed) == key) {
      return Refusal{std::string(computer ? "Server '" : "Range '") + normalised + "' already in " +
                         list_name + ".",
                     MessageIcon::kInformation};
    }
  }
  *line = normalised;
  return std::nullopt;
}

std::string FormatAddress(const Octets& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
         std::to_string(address[2]) + "." + std::to_string(address[3]);
}

Octets ParseAddress(const std::string& text) { return tellwen::ParseRangeEnd(text); }

AddressRange WholeClassC(const Octets& from, bool ignore_zero, bool ignore_255) {
  AddressRange range;
  range.from = {from[0], from[1], from[2], ignore_zero ? 1 : 0};
  range.to = {from[0], from[1], from[2], ignore_255 ? 254 : 255};
  return range;
}

AddressRange PreviousClassC(const Octets& from, bool ignore_zero, bool ignore_255) {
  Octets moved = from;
  moved[2] = from[2] == 0 ? 255 : from[2] - 1;
  return WholeClassC(moved, ignore_zero, ignore_255);
}

AddressRange NextClassC(const Octets& from, bool ignore_zero, bool ignore_255) {
  Octets moved = from;
  moved[2] = from[2] == 255 ? 0 : from[2] + 1;
  return WholeClassC(moved, ignore_zero, ignore_255);
}

RangeCheck CheckRange(const AddressRange& range) {
  RangeCheck check;
  const std::string from = FormatAddress(range.from);
  const std::string to = FormatAddress(range.to);
  if (range.from > range.to) {  // octet by octet from the first
    check.refusal =
        Refusal{"IP range '" + from + "' - '" + to + "' is invalid!", MessageIcon::kError};
    return check;
  }
  const uint64_t hosts = AsNumber(range.to) - AsNumber(range.from);
  if (hosts > kHugeRangeHosts) {
    check.question = "IP range '" + from + "' - '" + to + "' is very huge (about " +
                     std::to_string(hosts) +
                     " hosts)!\nAre you sure you still want to add this range to include list?";
  }
  if (range.from == range.to) {
    check.kind = EntryKind::kComputer;
    check.entry = "\\\\" + from;
  } else {
    check.entry = from + " - " + to;
  }
  return check;
}

NetworkSearch LoadNetworkSearch(Settings& settings) {
  NetworkSearch values;
  values.search_entire_network = settings.GetBoolValue("MustEnumerateResourcesFromNetwork");
  values.sources = ReadNetworkSearchSettings(settings);
  values.ignore_zero = settings.GetBoolValue("IndexerIgnoreIPZero");
  values.ignore_255 = settings.GetBoolValue("IndexerIgnoreIP255");
  values.include = ReadListValue(settings.GetValue("IndexerIncludeList"));
  values.exclude = ReadListValue(settings.GetValue("IndexerExcludeList"));
  return values;
}

void StoreNetworkSearch(Settings& settings, const NetworkSearch& values) {
  settings.SetValue("MustEnumerateResourcesFromNetwork", Flag(values.search_entire_network));
  settings.SetValue("IndexerIncludeList", MakeListValue(values.include));
  settings.SetValue("IndexerExcludeList", MakeListValue(values.exclude));
  settings.SetValue("IndexerIgnoreIPZero", Flag(values.ignore_zero));
  settings.SetValue("IndexerIgnoreIP255", Flag(values.ignore_255));
  WriteNetworkSearchSettings(settings, values.sources);
}

}  // namespace tellwen::admin
