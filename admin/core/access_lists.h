// The Security page's and the "Edit Members" dialog's rules: the address
// lists the web extension consults (WebBanList, WebGrantList,
// WebMembersList), the two mode flags, and how an address is added.
//
// Lists are list values ("0", then "|" + address per line, in list order).
// Both access lists are stored whatever the mode; the mode only decides
// which one the site consults.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/settings.h"

namespace tellwen::admin {

// What the address control reads when it is empty.
inline constexpr const char* kEmptyAddress = "0.0.0.0";

inline constexpr const char* kAllowAllText =
    "Any incomming IP is allowed, excepting those from 'Restricted IPs' list";
inline constexpr const char* kGrantedOnlyText =
    "Any incomming IP is forbidden, excepting those from 'Granted IPs' list";

enum class AddressList { kRestricted, kGranted, kMembers };

// The lines of a stored address list: every field that is neither empty
// nor the placeholder "0".
std::vector<std::string> AddressLines(const std::string& value);

// Checks the address control's text for the list holding lines. nullopt with
// *add false: nothing to do (the control is empty); nullopt with *add true:
// append the address; otherwise the refusal to show (a duplicate).
std::optional<std::string> CheckNewAddress(const std::string& address, AddressList list,
                                           const std::vector<std::string>& lines, bool* add);

// "There are no selected items in the 'members' list."
inline constexpr const char* kNoMembersSelected =
    "There are no selected items in the 'members' list.";

struct SecurityValues {
  bool allow_all = false;               // SecurityAllowAllIPs
  bool all_are_members = false;         // SecurityAllAreMembers
  std::vector<std::string> restricted;  // WebBanList
  std::vector<std::string> granted;     // WebGrantList
};

SecurityValues LoadSecurityValues(Settings& settings);
void StoreSecurityValues(Settings& settings, const SecurityValues& values);

std::vector<std::string> LoadMembers(Settings& settings);
void StoreMembers(Settings& settings, const std::vector<std::string>& members);

}  // namespace tellwen::admin
