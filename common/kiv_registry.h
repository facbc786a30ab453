// CKIVRegistry: the settings store shared by every Tellwen program.
//
// All settings and a few pieces of shared state live as string values under
// HKEY_LOCAL_MACHINE\Software\KIV (on this platform a folder of the registry
// hive, see platform/registry). A value that is missing when it is read is
// created on the spot with its default from the defaults table, so a fresh
// machine fills the key as the programs run. Reads go through the store's
// per-process cache, which inotify keeps exact (platform/registry/
// value_cache.h): a change made by one program is seen by the next read of
// any other, in any process.
//
// Failures of the hive are shown as message boxes (base/user_messages.h)
// that name the call and its errno code; the operation then goes on. Each
// failure is shown once per value and cause, then only counted: a message of
// the same value and cause again comes at most once a minute, with the count
// of its repeats (RepeatedMessages), so a store that cannot be written does
// not fill a program's log however often it is asked.
//
// Thread safety: an object is used by one thread at a time; create one per
// operation. Any number of objects in any threads and processes may read and
// write at once: each value is read and written whole, the last writer wins.
#pragma once

#include <string>

namespace tellwen {

// The folders of an install of this build (its prefix's lib/tellwen/, and
// /var/log/tellwen/ and /etc/tellwen/ for the prefix /usr): where
// KIVInstallPathExes is the programs folder, the report files and the update
// log default to the log folder and the suggestions file to the
// configuration folder; anywhere else (a build's own programs) they default
// to the programs folder.
struct InstalledFolders {
  const char* programs;
  const char* logs;
  const char* config;
};
InstalledFolders InstalledFoldersOfThisBuild();

// The hive key that holds every setting.
inline constexpr const char* kSettingsKey = "HKEY_LOCAL_MACHINE\\Software\\KIV";

// The mode that asks for the table default without reading or writing.
inline constexpr const char* kDefaultValueMode = "default value";
// The mode every ordinary read passes (any text but "default value" will do).
inline constexpr const char* kNoDefaultMode = "no default";

class CKIVRegistry {
 public:
  // Opens (creating when needed) the key; on failure shows
  // "RegCreateKeyEx in CKIVRegistry::CKIVRegistry() return %d".
  CKIVRegistry();
  virtual ~CKIVRegistry();

  CKIVRegistry(const CKIVRegistry&) = delete;
  CKIVRegistry& operator=(const CKIVRegistry&) = delete;

  // The stored value, or (when missing, or when mode is "default value") the
  // table default; an ordinary read stores the default it falls back to.
  std::string GetValue(const std::string& name, const std::string& mode = kNoDefaultMode);
  // GetValue parsed as a leading decimal integer ("%d"); 0 when none.
  int GetIntValue(const std::string& name, int ignored = 0,
                  const std::string& mode = kNoDefaultMode);
  // GetIntValue(...) != 0.
  bool GetBoolValue(const std::string& name, int ignored = 0,
                    const std::string& mode = kNoDefaultMode);
  // Stores value whole; on failure shows
  // "RegSetKeyEx in CKIVRegistry::SetValue() return %d".
  void SetValue(const std::string& name, const std::string& value);

  // errno code of the last hive call made through this object (0 = success).
  int LastResult() const { return last_result_; }

 private:
  std::string ComputeDefault(const std::string& name);

  int last_result_ = 0;
  unsigned disposition_ = 0;
  std::string key_;  // folder of the open key; empty when it could not be made
};

}  // namespace tellwen
