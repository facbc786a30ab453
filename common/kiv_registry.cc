#include "common/kiv_registry.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/clock.h"
#include "base/host_name.h"
#include "base/int_text.h"
#include "base/user_messages.h"
#include "common/scan_account_settings.h"
#include "platform/registry/registry.h"

namespace tellwen {
namespace {

// Values are read whole up to this size; a larger value is treated as
// unreadable (and never replaced by its default).
constexpr std::size_t kMaxValueBytes = 1 << 20;

// Where an install of this build puts the programs, the logs and the
// administrator's files (the build's install prefix: /usr/lib/tellwen/,
// /var/log/tellwen/, /etc/tellwen/ for a package).
constexpr const char* kInstalledProgramsFolder = TELLWEN_INSTALLED_PROGRAMS_FOLDER;
constexpr const char* kInstalledLogFolder = TELLWEN_INSTALLED_LOG_FOLDER;
constexpr const char* kInstalledConfigFolder = TELLWEN_INSTALLED_CONFIG_FOLDER;

enum class DefaultKind {
  kLiteral,      // text is the default
  kInstallPath,  // KIVInstallPathExes followed by text
  // An installed system's log folder (/var/log/tellwen/) followed by text's
  // last name; elsewhere (a build's programs) as kInstallPath.
  kLogPath,
  // An installed system's configuration folder (/etc/tellwen/) followed by
  // text; elsewhere as kInstallPath.
  kConfigPath,
  kTempFolder,  // $TMPDIR or /tmp/, ending in "/"
  kHostName,    // the machine's host name followed by text
};

struct DefaultEntry {
  const char* name;
  DefaultKind kind;
  const char* text;
};

constexpr const char* kDefaultCategories =
    "0|Audio Files/*.mp3; *.mp2; *.mp1; *.rm; *.wma; *.mod; *.cda; *.mid; *.m3u; *.pls; *.xm; "
    "*.asf; *.rmi; *.midi; *.au; *.aif; *.wav|Compressed Files/*.zip; *.arj; *.rar; *.tar; *.z; "
    "*.gz; *.cab; *.ace; *.lha|Database/*.db; *.dbf; *.mdb; *.dbc|Develop Project/*.dsp; *.dsw; "
    "*.vcp; *.vcw; *.mak; *.mdp; *.bpr; *.bpg; *.bpk; *.dpr; makefile*.*|Executable Files/*.exe; "
    "*.dll; *.vbx; *.ocx; *.cpl; *.sys; *.drv; *.scr|Html/*.htm; *.html; *.htx; *.asp; *.php; "
    "*.alx; *.stm; *.shtml|Images/*.bmp; *.gif; *.jpg; *.dib; *.pcx; *.tif; *.png; *.eps; *.jpe; "
    "*.pic; *.rle; *.tga; *.psd; *.pdd; *.pcd|Movies/*.mpg; *.avi; *.wmv; *.m1v; *.mpeg; *.rm; "
    "*.mov|Office Documents/*.mpp; *.doc; *.xl*; *.ppt; *.rtf; *.mbd; *.obd; *.dot; *.pot; *.xot; "
    "*.pdf|Source Code/*.bas; *.pas; *.pl; *.c; *.cpp; *.php; *.java; *.asp; *.h; *.hpp; *.inl; "
    "*.rc; *.cxx; *.dsp; *.dsw; *.vcp; *.vcw; *.mak; *.mdp; *.bpr; *.bpg; *.bpk; *.dpr; "
    "makefile*.*";

// Every setting the programs know, with its default. The order
// has no effect: the table is searched by exact, case-sensitive name.
constexpr DefaultEntry kDefaults[] = {
    {"UnixStyleForFileNames", DefaultKind::kLiteral, "0"},
    {"DumpSizeForFileNames", DefaultKind::kLiteral, "0"},
    {"GenerateReportFile", DefaultKind::kLiteral, "0"},
    {"SortedOutput", DefaultKind::kLiteral, "0"},
    {"SplitBetweenShareAndDirectory", DefaultKind::kLiteral, "0"},
    {"SplitBetweenDirectoryAndFile", DefaultKind::kLiteral, "0"},
    {"Levels", DefaultKind::kLiteral, "5"},
    {"MiniLocation", DefaultKind::kHostName, "/KIV"},
    {"ReportFile", DefaultKind::kLogPath, "reports/report.txt"},
    {"SuggestionsFile", DefaultKind::kConfigPath, "suggestions.txt"},
    {"MonitorPingInterval", DefaultKind::kLiteral, "2"},
    {"ReportFileShort", DefaultKind::kLogPath, "reports/short_report.txt"},
    {"ReportFileShortDaily", DefaultKind::kLiteral, "1"},
    {"QueryConnectionTimeout", DefaultKind::kLiteral, "15"},
    {"OutputFile", DefaultKind::kInstallPath, "kiv report.txt"},
    {"WebBanList", DefaultKind::kLiteral, "0"},
    {"QueryCommandTimeout", DefaultKind::kLiteral, "120"},
    {"AutomaticallyInsertIntoDatabase", DefaultKind::kLiteral, "1"},
    {"SqlServer", DefaultKind::kHostName, ""},
    {"SqlUser", DefaultKind::kLiteral, "sa"},
    // The stored form of an empty password: the seed letter alone.
    {"SqlPassword", DefaultKind::kLiteral, "a"},
    {"SqlDatabase", DefaultKind::kLiteral, "kiv"},
    // "embedded" or "postgresql" (common/db_session.h).
    {"SqlEngine", DefaultKind::kLiteral, "embedded"},
    {"StopWebService", DefaultKind::kLiteral, "1"},
    {"SqlLogFolder", DefaultKind::kLogPath, ""},
    {"TemporaryFolder", DefaultKind::kTempFolder, ""},
    {"NumberOfIndexedFiles", DefaultKind::kLiteral, "0"},
    {"DataOfTheIndex", DefaultKind::kLiteral, "Never indexed"},
    {"DataOfTheIndexForDB", DefaultKind::kLiteral, "Never indexed"},
    {"LastIndexData", DefaultKind::kLiteral, "5000"},
    {"WebCounter", DefaultKind::kLiteral, "0"},
    {"WebStatus", DefaultKind::kLiteral, "no"},
    {"NumberOfThreads", DefaultKind::kLiteral, "15"},
    {"HelpFile", DefaultKind::kLiteral, "help/index.htm"},
    {"SqlNotReindexHours", DefaultKind::kLiteral, "48"},
    {"SqlComputerExpireHours", DefaultKind::kLiteral, "336"},
    {"WebProxyEnabled", DefaultKind::kLiteral, "0"},
    {"KIVInstallPathExes", DefaultKind::kLiteral, "/opt/tellwen/"},
    {"MonitorStartMinimized", DefaultKind::kLiteral, "1"},
    {"FirstPageInfo", DefaultKind::kLiteral, "N/A"},
    {"FirstPageInfoSeverity", DefaultKind::kLiteral, "low"},
    {"IndexerScanPriority", DefaultKind::kLiteral, "1"},
    {"LastSuccessfulScanTime", DefaultKind::kLiteral, "N/A"},
    {"LastSuccessfulUpdateTime", DefaultKind::kLiteral, "N/A"},
    {"ShouldReport", DefaultKind::kLiteral, "0"},
    {"ShouldShortReport", DefaultKind::kLiteral, "1"},
    {"MustEnumerateResourcesFromNetwork", DefaultKind::kLiteral, "1"},
    // Which sources "Search entire network" asks, and where its probes may
    // send (common/network_search_settings.h).
    {"NetworkSearchBrowseList", DefaultKind::kLiteral, "1"},
    {"NetworkSearchWsDiscovery", DefaultKind::kLiteral, "1"},
    {"NetworkSearchMdns", DefaultKind::kLiteral, "1"},
    {"NetworkSearchInterfaces", DefaultKind::kLiteral, "*"},
    {"IndexerIncludeList", DefaultKind::kLiteral, "0"},
    {"IndexerExcludeList", DefaultKind::kLiteral, "0"},
    {"IndexerIgnoreIPZero", DefaultKind::kLiteral, "1"},
    {"IndexerIgnoreIP255", DefaultKind::kLiteral, "1"},
    {"PingTimeout", DefaultKind::kLiteral, "1000"},
    {"GenerateLogForStatistics", DefaultKind::kLiteral, "1"},
    {"WebGrantList", DefaultKind::kLiteral, "0"},
    {"SecurityAllowAllIPs", DefaultKind::kLiteral, "1"},
    {"SecurityAllAreMembers", DefaultKind::kLiteral, "0"},
    {"WebMembersList", DefaultKind::kLiteral, "0"},
    {"CategoriesEdit", DefaultKind::kLiteral, kDefaultCategories},
    {"CategoriesEditForWeb", DefaultKind::kLiteral, "0"},
    {"AdministratorContact", DefaultKind::kLiteral, "mailto:root@localhost"},
    {"LastPingTime", DefaultKind::kLiteral, "0"},
    {"MaxPingRoundtripTime", DefaultKind::kLiteral, "60"},
    // The scan account (common/scan_account_settings.h): where its
    // credentials file is, Kerberos, and whether downloads use it.
    {"ScanCredentialsFile", DefaultKind::kLiteral, kDefaultScanCredentialsFile},
    {"ScanUseKerberos", DefaultKind::kLiteral, "0"},
    {"DownloadWithScanAccount", DefaultKind::kLiteral, "0"},
    {"IISScriptsFolder", DefaultKind::kLiteral, "/var/www/scripts/"},
    {"IISRootFolder", DefaultKind::kLiteral, "/var/www/html/"},
};

// Formats a message the way the store reports hive failures: a text of at
// most 200 bytes naming the call and its code. A failure is shown once per
// key folder (the hive root while there is none), value and text, then
// counted (base/user_messages.h): a store that cannot be written fails on
// every request of the site, and each would otherwise add a line to the log.
void ShowFailure(const char* format, int code, const std::string& folder,
                 const std::string& value) {
  // Never destroyed: a thread may report while the process exits.
  static RepeatedMessages& repeats = *new RepeatedMessages(MachineClock());
  char text[200];
  std::snprintf(text, sizeof text, format, code);
  const std::string where = folder.empty() ? registry::HiveRoot() : folder;
  repeats.Show(where + '\n' + value + '\n' + text, text, MessageIcon::kError);
}

std::string TempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = (env != nullptr && *env != '\0') ? env : "/tmp/";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

CKIVRegistry::CKIVRegistry() {
  bool created = false;
  last_result_ = registry::OpenKey(kSettingsKey, /*create=*/true, &key_, &created);
  disposition_ = created ? 1 : 2;  // created new key / opened existing key
  if (last_result_ != 0) {
    key_.clear();
    ShowFailure("RegCreateKeyEx in CKIVRegistry::CKIVRegistry() return %d", last_result_, key_, "");
  }
}

CKIVRegistry::~CKIVRegistry() = default;

std::string CKIVRegistry::GetValue(const std::string& name, const std::string& mode) {
  const bool default_mode = mode == kDefaultValueMode;
  std::string stored;
  last_result_ = key_.empty() ? EBADF : registry::QueryValue(key_, name, kMaxValueBytes, &stored);
  if (last_result_ == 0 && !default_mode) {
    // Another tool may have stored a terminating zero; the text ends there.
    if (std::size_t zero = stored.find('\0'); zero != std::string::npos) stored.resize(zero);
    return stored;
  }
  // A value that exists but cannot be read whole is reported and left as it
  // is: replacing it with the default would lose the administrator's data.
  const bool unreadable = last_result_ != 0 && last_result_ != ENOENT && last_result_ != EBADF;
  if (unreadable && !default_mode) {
    ShowFailure("RegQueryValueEx in CKIVRegistry::GetValue() return %d", last_result_, key_, name);
  }
  std::string value = ComputeDefault(name);
  if (!default_mode && !unreadable) {
    // The default is created only where the value is still missing: a value
    // another program stored since the read above is kept and returned.
    last_result_ = key_.empty() ? EBADF : registry::CreateValue(key_, name, value);
    if (last_result_ == EEXIST) {
      last_result_ = registry::QueryValue(key_, name, kMaxValueBytes, &stored);
      if (last_result_ == 0) {
        if (std::size_t zero = stored.find('\0'); zero != std::string::npos) stored.resize(zero);
        return stored;
      }
    }
    if (last_result_ != 0) {
      ShowFailure("RegSetKeyEx in CKIVRegistry::OnInitDialog() return %d", last_result_, key_,
                  name);
    }
  }
  return value;
}

InstalledFolders InstalledFoldersOfThisBuild() {
  return {kInstalledProgramsFolder, kInstalledLogFolder, kInstalledConfigFolder};
}

std::string CKIVRegistry::ComputeDefault(const std::string& name) {
  for (const DefaultEntry& entry : kDefaults) {
    if (name != entry.name) continue;
    switch (entry.kind) {
      case DefaultKind::kLiteral:
        return entry.text;
      case DefaultKind::kInstallPath:
      case DefaultKind::kLogPath:
      case DefaultKind::kConfigPath: {
        // Always an ordinary read: it creates KIVInstallPathExes when missing.
        const std::string programs = GetValue("KIVInstallPathExes", kNoDefaultMode);
        // The programs folder of an install belongs to the package manager;
        // logs and the administrator's files go where Linux keeps them.
        if (programs == kInstalledProgramsFolder && entry.kind == DefaultKind::kLogPath) {
          const std::string text = entry.text;
          return kInstalledLogFolder + text.substr(text.rfind('/') + 1);
        }
        if (programs == kInstalledProgramsFolder && entry.kind == DefaultKind::kConfigPath) {
          return kInstalledConfigFolder + std::string(entry.text);
        }
        return programs + entry.text;
      }
      case DefaultKind::kTempFolder:
        return TempFolder();
      case DefaultKind::kHostName:
        return LocalHostName() + entry.text;
    }
  }
  return "";  // not in the table: an empty value fits every caller
}

int CKIVRegistry::GetIntValue(const std::string& name, int /*ignored*/, const std::string& mode) {
  return LeadingInt(GetValue(name, mode));
}

bool CKIVRegistry::GetBoolValue(const std::string& name, int /*ignored*/, const std::string& mode) {
  return GetIntValue(name, 0, mode) != 0;
}

void CKIVRegistry::SetValue(const std::string& name, const std::string& value) {
  last_result_ = key_.empty() ? EBADF : registry::SetValue(key_, name, value);
  if (last_result_ != 0) {
    ShowFailure("RegSetKeyEx in CKIVRegistry::SetValue() return %d", last_result_, key_, name);
  }
}

}  // namespace tellwen
