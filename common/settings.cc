#include "common/settings.h"

#include "base/int_text.h"
#include "common/kiv_registry.h"

namespace tellwen {

int Settings::GetIntValue(const std::string& name) { return LeadingInt(GetValue(name)); }

std::string RegistrySettings::GetValue(const std::string& name) {
  CKIVRegistry registry;
  return registry.GetValue(name);
}

void RegistrySettings::SetValue(const std::string& name, const std::string& value) {
  CKIVRegistry registry;
  registry.SetValue(name, value);
}

std::string RegistrySettings::DefaultValue(const std::string& name) {
  CKIVRegistry registry;
  return registry.GetValue(name, kDefaultValueMode);
}

Settings& MachineSettings() {
  static RegistrySettings settings;
  return settings;
}

}  // namespace tellwen
