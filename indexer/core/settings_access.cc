#include "indexer/core/settings_access.h"

#include <cctype>
#include <climits>

#include "common/kiv_registry.h"

namespace tellwen::indexer {

int LeadingInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  long long value = 0;
  bool any = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    any = true;
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (!any) return 0;
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int SettingsAccess::GetIntValue(const std::string& name) { return LeadingInt(GetValue(name)); }

std::string RegistrySettings::GetValue(const std::string& name) {
  CKIVRegistry registry;
  return registry.GetValue(name);
}

void RegistrySettings::SetValue(const std::string& name, const std::string& value) {
  CKIVRegistry registry;
  registry.SetValue(name, value);
}

}  // namespace tellwen::indexer
