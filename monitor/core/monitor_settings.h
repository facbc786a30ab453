// MonitorSettings: the settings the ping worker reads and writes
// (WebStatus, LastPingTime, MonitorPingInterval, PingTimeout), behind an
// interface so that tests run on an in-memory store. RegistryMonitorSettings
// is the settings store of the machine, opened afresh by every call.
//
// Thread safety: RegistryMonitorSettings may be used from any thread at once.
#pragma once

#include <string>

namespace tellwen::monitor {

class MonitorSettings {
 public:
  virtual ~MonitorSettings() = default;
  virtual std::string GetValue(const std::string& name) = 0;
  virtual void SetValue(const std::string& name, const std::string& value) = 0;
};

class RegistryMonitorSettings : public MonitorSettings {
 public:
  std::string GetValue(const std::string& name) override;
  void SetValue(const std::string& name, const std::string& value) override;
};

}  // namespace tellwen::monitor
