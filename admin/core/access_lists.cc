#include "admin/core/access_lists.h"

#include <algorithm>

#include "common/list_value.h"

namespace tellwen::admin {

std::vector<std::string> AddressLines(const std::string& value) {
  std::vector<std::string> lines = ReadListValue(value);
  lines.erase(std::remove(lines.begin(), lines.end(), "0"), lines.end());
  return lines;
}

std::optional<std::string> CheckNewAddress(const std::string& address, AddressList list,
                                           const std::vector<std::string>& lines, bool* add) {
  *add = false;
  if (address.empty() || address == kEmptyAddress) return std::nullopt;
  if (std::find(lines.begin(), lines.end(), address) != lines.end()) {
    std::string refusal = "IP ";
    refusal += address;
    switch (list) {
      case AddressList::kRestricted:
        refusal += " is already on the forbidden list.";
        break;
      case AddressList::kGranted:
        refusal += " is already on the granted list.";
        break;
      case AddressList::kMembers:
        refusal += " is already on the memebrs list.";
        break;
    }
    return refusal;
  }
  *add = true;
  return std::nullopt;
}

SecurityValues LoadSecurityValues(Settings& settings) {
  SecurityValues values;
  values.restricted = AddressLines(settings.GetValue("WebBanList"));
  values.granted = AddressLines(settings.GetValue("WebGrantList"));
  values.allow_all = settings.GetBoolValue("SecurityAllowAllIPs");
  values.all_are_members = settings.GetBoolValue("SecurityAllAreMembers");
  return values;
}

void StoreSecurityValues(Settings& settings, const SecurityValues& values) {
  settings.SetValue("WebBanList", MakeListValue(values.restricted));
  settings.SetValue("WebGrantList", MakeListValue(values.granted));
  settings.SetValue("SecurityAllowAllIPs", values.allow_all ? "1" : "0");
  settings.SetValue("SecurityAllAreMembers", values.all_are_members ? "1" : "0");
}

std::vector<std::string> LoadMembers(Settings& settings) {
  return AddressLines(settings.GetValue("WebMembersList"));
}

void StoreMembers(Settings& settings, const std::vector<std::string>& members) {
  settings.SetValue("WebMembersList", MakeListValue(members));
}

}  // namespace tellwen::admin
