// StoredSettings: the settings as they are stored, read without side
// effects, for the removal. A value that is not stored (or a machine without
// a settings hive) reads as "" and is not created with its default, so that
// "/uninstall" on a machine where nothing was installed finds nothing to
// remove and leaves no hive behind. Writes are dropped.
//
// Thread safety: any thread; no state of its own.
#pragma once

#include "common/settings.h"

namespace tellwen::setup {

class StoredSettings final : public Settings {
 public:
  std::string GetValue(const std::string& name) override;
  void SetValue(const std::string&, const std::string&) override {}
  std::string DefaultValue(const std::string&) override { return ""; }
};

}  // namespace tellwen::setup
