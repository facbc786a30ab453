// Settings: the one way a program reads and writes the named values of the
// settings store (HKEY_LOCAL_MACHINE\Software\KIV).
//
// Every job, page and window takes a Settings& rather than opening the store
// itself, so that tests run it on the in-memory fake of tests/support (which
// can also fail a write on cue). RegistrySettings is the store of this
// machine: every call opens CKIVRegistry afresh, so a change made by another
// program is seen by the next read; a missing value reads as its default and
// is stored; hive failures are shown through the message channel with the
// store's own texts (common/kiv_registry.h).
//
// Thread safety: RegistrySettings may be used from any number of threads at
// once; other implementations state their own rules.
#pragma once

#include <string>

namespace tellwen {

class Settings {
 public:
  virtual ~Settings() = default;

  // The stored value; when missing, the default (which the real store keeps).
  virtual std::string GetValue(const std::string& name) = 0;
  // Stores value whole (last writer wins).
  virtual void SetValue(const std::string& name, const std::string& value) = 0;
  // The default of name, without reading or writing the store; "" for a
  // name the defaults table does not know.
  virtual std::string DefaultValue(const std::string& name) = 0;

  // GetValue read as LeadingInt (base/int_text.h).
  int GetIntValue(const std::string& name);
  bool GetBoolValue(const std::string& name) { return GetIntValue(name) != 0; }
};

class RegistrySettings final : public Settings {
 public:
  std::string GetValue(const std::string& name) override;
  void SetValue(const std::string& name, const std::string& value) override;
  std::string DefaultValue(const std::string& name) override;
};

// A process-wide RegistrySettings, for the programs' main functions and the
// web extension's entry points.
Settings& MachineSettings();

}  // namespace tellwen
