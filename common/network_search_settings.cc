#include "common/network_search_settings.h"

#include "base/list_value.h"

namespace tellwen {

namespace {

// A source is on unless its value says otherwise: an empty value (a store
// that has none) keeps the default, on.
bool SourceOn(Settings& settings, const std::string& name) {
  return settings.GetValue(name).empty() || settings.GetBoolValue(name);
}

}  // namespace

NetworkSearchSettings ReadNetworkSearchSettings(Settings& settings) {
  NetworkSearchSettings values;
  values.browse_list = SourceOn(settings, "NetworkSearchBrowseList");
  values.ws_discovery = SourceOn(settings, "NetworkSearchWsDiscovery");
  values.mdns = SourceOn(settings, "NetworkSearchMdns");
  const std::string interfaces = settings.GetValue("NetworkSearchInterfaces");
  values.every_interface = interfaces == kEveryInterface;
  if (!values.every_interface) values.interfaces = ReadListValue(interfaces);
  return values;
}

std::string InterfacesValue(const NetworkSearchSettings& values) {
  return values.every_interface ? kEveryInterface : MakeListValue(values.interfaces);
}

void WriteNetworkSearchSettings(Settings& settings, const NetworkSearchSettings& values) {
  settings.SetValue("NetworkSearchBrowseList", values.browse_list ? "1" : "0");
  settings.SetValue("NetworkSearchWsDiscovery", values.ws_discovery ? "1" : "0");
  settings.SetValue("NetworkSearchMdns", values.mdns ? "1" : "0");
  settings.SetValue("NetworkSearchInterfaces", InterfacesValue(values));
}

}  // namespace tellwen
