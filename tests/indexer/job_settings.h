// Test support: the settings an index job of the tests starts from.
//
// Thread safety: as FakeSettings.
#pragma once

#include <string>

#include "tests/support/fake_settings.h"

namespace tellwen::testing {

// The index file in `folder`, the report at `report` (generated), the
// database insert on, three threads at normal priority, no enumeration of
// the network, `include_list` as the only computers to scan, and the scan
// account's credentials file in `folder` (none until a test writes it).
inline void SetJobSettings(FakeSettings& settings, const std::string& folder,
                           const std::string& report, const std::string& include_list) {
  settings.SetValue("TemporaryFolder", folder + "/");
  settings.SetValue("OutputFile", report);
  settings.SetValue("GenerateReportFile", "1");
  settings.SetValue("AutomaticallyInsertIntoDatabase", "1");
  settings.SetValue("NumberOfThreads", "3");
  settings.SetValue("IndexerScanPriority", "3");
  settings.SetValue("MustEnumerateResourcesFromNetwork", "0");
  settings.SetValue("IndexerIncludeList", include_list);
  // No scan account unless a test writes this file.
  settings.SetValue("ScanCredentialsFile", folder + "/scan.credentials");
}

}  // namespace tellwen::testing
