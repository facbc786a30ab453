#include "monitor/core/monitor_settings.h"

#include "common/kiv_registry.h"

namespace tellwen::monitor {

std::string RegistryMonitorSettings::GetValue(const std::string& name) {
  return CKIVRegistry().GetValue(name);
}

void RegistryMonitorSettings::SetValue(const std::string& name, const std::string& value) {
  CKIVRegistry().SetValue(name, value);
}

}  // namespace tellwen::monitor
