#include "setup/core/stored_settings.h"

#include "common/kiv_registry.h"
#include "platform/registry/registry.h"

namespace tellwen::setup {

std::string StoredSettings::GetValue(const std::string& name) {
  std::string folder;
  if (registry::OpenKey(kSettingsKey, /*create=*/false, &folder, nullptr) != 0) return "";
  std::string value;
  if (registry::QueryValue(folder, name, 1 << 20, &value) != 0) return "";
  return value;
}

}  // namespace tellwen::setup
