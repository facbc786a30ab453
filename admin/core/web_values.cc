#include "admin/core/web_values.h"

#include "base/int_text.h"

namespace tellwen::admin {

WebStatusView ViewWebStatus(const std::string& web_status) {
  if (web_status == "yes") return {true, "Tellwen is running.", "STOP"};
  return {false, "Tellwen is stopped.", "START"};
}

std::optional<std::string> CounterToStore(const std::string& text) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, 16, &value) || value > static_cast<std::uint64_t>(kMaxWebCounter))
    return std::nullopt;
  return std::to_string(value);
}

std::string CounterToShow(const std::string& stored) {
  long long value = LeadingInt(stored);
  if (value < 0 || value > kMaxWebCounter) value = 0;
  return std::to_string(value);
}

WebValues LoadWebValues(Settings& settings) {
  return {settings.GetBoolValue("WebProxyEnabled"), settings.GetValue("AdministratorContact")};
}

void StoreWebValues(Settings& settings, const WebValues& values) {
  settings.SetValue("WebProxyEnabled", values.proxy_enabled ? "1" : "0");
  settings.SetValue("AdministratorContact", values.administrator_contact);
}

int SeverityIndex(const std::string& stored) {
  if (stored == "high") return 0;
  if (stored == "medium") return 1;
  return 2;
}

}  // namespace tellwen::admin
