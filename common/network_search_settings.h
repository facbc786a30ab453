// The settings of "Search entire network" beyond MustEnumerateResourcesFromNetwork:
// which sources the network enumeration asks, and the interfaces the
// searches that send queries of their own (WS-Discovery, mDNS) may send on.
//
//   NetworkSearchBrowseList   "1": the SMB browse list (workgroups and their computers)
//   NetworkSearchWsDiscovery  "1": a WS-Discovery probe for computers
//   NetworkSearchMdns         "1": an mDNS browse for SMB services
//   NetworkSearchInterfaces   "*": every interface with an IPv4 address except
//                             loopback; otherwise a list value of interface
//                             names ("0|eth0|eth1"); "0" names none, so the
//                             probes send nothing. An empty value names none
//                             too; an empty source value keeps the source on.
//
// Thread safety: plain values and functions over the caller's Settings.
#pragma once

#include <string>
#include <vector>

#include "common/settings.h"

namespace tellwen {

inline constexpr const char* kEveryInterface = "*";

struct NetworkSearchSettings {
  bool browse_list = true;
  bool ws_discovery = true;
  bool mdns = true;
  bool every_interface = true;          // NetworkSearchInterfaces is "*"
  std::vector<std::string> interfaces;  // when not every_interface
};

NetworkSearchSettings ReadNetworkSearchSettings(Settings& settings);
void WriteNetworkSearchSettings(Settings& settings, const NetworkSearchSettings& values);

// The stored form of the interfaces: "*" or a list value.
std::string InterfacesValue(const NetworkSearchSettings& values);

}  // namespace tellwen
