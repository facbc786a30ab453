// SettingsAccess: how the index job reads and writes the settings store.
//
// The job talks to this interface rather than to CKIVRegistry directly so
// that tests run it on an in-memory store. RegistrySettings is the real one:
// every call opens the store afresh (settings are never cached).
//
// Thread safety: RegistrySettings may be used from any thread at once;
// other implementations say their own.
#pragma once

#include <string>

namespace tellwen::indexer {

class SettingsAccess {
 public:
  virtual ~SettingsAccess() = default;
  virtual std::string GetValue(const std::string& name) = 0;
  virtual void SetValue(const std::string& name, const std::string& value) = 0;

  // GetValue read as a leading decimal integer, 0 when there is none.
  int GetIntValue(const std::string& name);
  bool GetBoolValue(const std::string& name) { return GetIntValue(name) != 0; }
};

// The settings store of this machine (CKIVRegistry).
class RegistrySettings : public SettingsAccess {
 public:
  std::string GetValue(const std::string& name) override;
  void SetValue(const std::string& name, const std::string& value) override;
};

// Leading decimal integer of text ("%d" rules: blanks, then an optional sign,
// then digits); 0 when there is none. Out-of-range values saturate.
int LeadingInt(const std::string& text);

}  // namespace tellwen::indexer
