#include "admin/core/access_lists.h"

#include <algorithm>

#include "base/keyed_table.h"
#include "base/list_value.h"
#include "common/settings_fields.h"

namespace tellwen::admin {
namespace {

constexpr FlagField<SecurityValues> kSecurityFlags[] = {
    {"SecurityAllowAllIPs", &SecurityValues::allow_all},
    {"SecurityAllAreMembers", &SecurityValues::all_are_members}};

}  // namespace

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
    static constexpr KeyedValue<AddressList, const char*> kAlreadyOn[] = {
        {AddressList::kRestricted, " is already on the forbidden list."},
        {AddressList::kGranted, " is already on the granted list."},
        {AddressList::kMembers, " is already on the memebrs list."}};
    std::string refusal = "IP ";
    refusal += address;
    refusal += LookUp(kAlreadyOn, list, "");
    return refusal;
  }
  *add = true;
  return std::nullopt;
}

SecurityValues LoadSecurityValues(Settings& settings) {
  SecurityValues values;
  values.restricted = AddressLines(settings.GetValue("WebBanList"));
  values.granted = AddressLines(settings.GetValue("WebGrantList"));
  ReadFields(settings, kSecurityFlags, &values);
  return values;
}

void StoreSecurityValues(Settings& settings, const SecurityValues& values) {
  settings.SetValue("WebBanList", MakeListValue(values.restricted));
  settings.SetValue("WebGrantList", MakeListValue(values.granted));
  StoreFields(settings, kSecurityFlags, values);
}

std::vector<std::string> LoadMembers(Settings& settings) {
  return AddressLines(settings.GetValue("WebMembersList"));
}

void StoreMembers(Settings& settings, const std::vector<std::string>& members) {
  settings.SetValue("WebMembersList", MakeListValue(members));
}

}  // namespace tellwen::admin
