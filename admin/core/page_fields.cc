#include "admin/core/page_fields.h"

#include <cctype>
#include <set>
#include <type_traits>

#include "admin/core/access_lists.h"
#include "admin/core/categories.h"
#include "admin/core/database_settings.h"
#include "admin/core/indexer_options.h"
#include "admin/core/interval.h"
#include "admin/core/network_lists.h"
#include "admin/core/page_values.h"
#include "admin/core/report_options.h"
#include "admin/core/web_values.h"
#include "base/list_value.h"
#include "base/text_trim.h"
#include "base/user_messages.h"
#include "common/network_search_settings.h"

namespace tellwen::admin {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool AllDigits(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<bool> ParseFlag(const std::string& typed) {
  const std::string word = Lower(typed);
  if (word == "on" || word == "1" || word == "yes") return true;
  if (word == "off" || word == "0" || word == "no") return false;
  return std::nullopt;
}

const char* FlagText(bool on) { return on ? "on" : "off"; }

// A page's values: its Load and Store, the unit every row of it goes
// through, so a row stores what the page's OK would store.
template <class Values, Values (*Load)(Settings&), void (*Store)(Settings&, const Values&)>
struct Page {
  template <std::string Values::*Member>
  static std::string ShowText(Settings& settings) {
    return Load(settings).*Member;
  }
  template <std::string Values::*Member>
  static std::string StoreText(Settings& settings, const std::string& typed) {
    Values values = Load(settings);
    values.*Member = typed;
    Store(settings, values);
    return "";
  }
  // A text box that takes digits only (seconds, milliseconds, minutes).
  template <std::string Values::*Member>
  static std::string StoreDigits(Settings& settings, const std::string& typed) {
    if (!AllDigits(typed)) return "The value must be a whole number.";
    return StoreText<Member>(settings, typed);
  }
  template <bool Values::*Member>
  static std::string ShowFlag(Settings& settings) {
    return FlagText(Load(settings).*Member);
  }
  template <bool Values::*Member>
  static std::string StoreFlag(Settings& settings, const std::string& typed) {
    const std::optional<bool> on = ParseFlag(typed);
    if (!on) return "The value must be on or off.";
    Values values = Load(settings);
    values.*Member = *on;
    Store(settings, values);
    return "";
  }
};

using Database = Page<DatabaseValues, LoadDatabaseValues, StoreDatabaseValues>;
using Files = Page<FilesValues, LoadFilesValues, StoreFilesValues>;
using Misc = Page<MiscValues, LoadMiscValues, StoreMiscValues>;
using Report = Page<ReportOptions, LoadReportOptions, StoreReportOptions>;
using Network = Page<NetworkSearch, LoadNetworkSearch, StoreNetworkSearch>;
using Security = Page<SecurityValues, LoadSecurityValues, StoreSecurityValues>;
using Web = Page<WebValues, LoadWebValues, StoreWebValues>;

// The report dialog checks the whole form before it stores it.
template <auto Member>
std::string StoreReport(Settings& settings, const std::string& typed) {
  ReportOptions options = LoadReportOptions(settings);
  if constexpr (std::is_same_v<decltype(Member), bool ReportOptions::*>) {
    const std::optional<bool> on = ParseFlag(typed);
    if (!on) return "The value must be on or off.";
    options.*Member = *on;
  } else {
    options.*Member = typed;
  }
  if (std::optional<std::string> refusal = CheckReportOptions(options)) return *refusal;
  StoreReportOptions(settings, options);
  return "";
}

// "3 day(s)", "infinite".
std::string IntervalText(const ShownInterval& interval) {
  if (interval.unit == IntervalUnit::kInfinite) return kIntervalUnitNames[4];
  return interval.number + " " + kIntervalUnitNames[static_cast<int>(interval.unit)];
}

// "N hours|days|weeks|years" (singular, plural or as the page writes the
// unit), or "infinite".
std::optional<ShownInterval> ParseInterval(const std::string& typed) {
  const std::string text = Lower(typed);
  if (text == "infinite") return ShownInterval{"", IntervalUnit::kInfinite};
  const size_t space = text.find(' ');
  if (space == std::string::npos || !AllDigits(text.substr(0, space))) return std::nullopt;
  std::string unit = text.substr(space + 1);
  for (int i = 0; i < 4; ++i) {
    const std::string name = kIntervalUnitNames[i];                // "day(s)"
    const std::string singular = name.substr(0, name.size() - 3);  // "day"
    if (unit == name || unit == singular || unit == singular + "s") {
      return ShownInterval{text.substr(0, space), static_cast<IntervalUnit>(i)};
    }
  }
  return std::nullopt;
}

template <ShownInterval MiscValues::*Member>
std::string ShowInterval(Settings& settings) {
  return IntervalText(LoadMiscValues(settings).*Member);
}
template <ShownInterval MiscValues::*Member>
std::string StoreIntervalRow(Settings& settings, const std::string& typed) {
  const std::optional<ShownInterval> interval = ParseInterval(typed);
  if (!interval)
    return "The interval must be a number and hours, days, weeks or years, or infinite.";
  MiscValues values = LoadMiscValues(settings);
  values.*Member = *interval;
  StoreMiscValues(settings, values);
  return "";
}

std::string ShowLevels(Settings& settings) {
  const int button = LoadIndexerOptions(settings).level_button;
  return button == kNoLevelChecked ? "" : kLevelLabels[button];
}
// "1" to "5", "all", or a label of the page ("2 levels", "All levels").
std::string StoreLevels(Settings& settings, const std::string& typed) {
  int button = kNoLevelChecked;
  for (int i = 0; i < kLevelButtons; ++i) {
    if (Lower(typed) == Lower(kLevelLabels[i])) button = i;
  }
  if (Lower(typed) == "all") button = kLevelButtons - 1;
  if (typed.size() == 1 && typed[0] >= '1' && typed[0] <= '5') button = typed[0] - '1';
  if (button == kNoLevelChecked) return "The levels must be 1 to 5, or all.";
  IndexerOptions options = LoadIndexerOptions(settings);
  options.level_button = button;
  StoreIndexerOptions(settings, options);
  return "";
}

std::string ShowThreads(Settings& settings) { return LoadIndexerOptions(settings).threads; }
std::string StoreThreads(Settings& settings, const std::string& typed) {
  IndexerOptions options = LoadIndexerOptions(settings);
  options.threads = typed;  // the page's rule: outside 1..25 stores 15
  StoreIndexerOptions(settings, options);
  return "";
}

std::string ShowPriority(Settings& settings) {
  const int priority = LoadIndexerOptions(settings).priority;
  return priority < 0 ? "" : kPriorityNames[priority];
}
// A priority's name, as the list shows it (letter case ignored).
std::string StorePriority(Settings& settings, const std::string& typed) {
  int priority = -1;
  for (size_t i = 0; i < kPriorityNames.size(); ++i) {
    if (Lower(typed) == Lower(kPriorityNames[i])) priority = static_cast<int>(i);
  }
  if (priority < 0) {
    return "The priority must be one of: Idle, Lowest, Below normal, Normal, Above normal, "
           "Highest, Time critical.";
  }
  if (priority == kTimeCriticalPriority && !AskYesNo(kTimeCriticalQuestion)) return kDeclined;
  IndexerOptions options = LoadIndexerOptions(settings);
  options.priority = priority;
  StoreIndexerOptions(settings, options);
  return "";
}

// The network search sources are a struct inside the dialog's values.
template <bool NetworkSearchSettings::*Member>
std::string ShowSource(Settings& settings) {
  return FlagText(LoadNetworkSearch(settings).sources.*Member);
}
template <bool NetworkSearchSettings::*Member>
std::string StoreSource(Settings& settings, const std::string& typed) {
  const std::optional<bool> on = ParseFlag(typed);
  if (!on) return "The value must be on or off.";
  NetworkSearch values = LoadNetworkSearch(settings);
  values.sources.*Member = *on;
  StoreNetworkSearch(settings, values);
  return "";
}
std::string ShowInterfaces(Settings& settings) {
  return InterfacesValue(LoadNetworkSearch(settings).sources);
}
// "*" (every interface but loopback), or a list value of names ("0|eth0").
std::string StoreInterfaces(Settings& settings, const std::string& typed) {
  NetworkSearch values = LoadNetworkSearch(settings);
  values.sources.every_interface = typed == kEveryInterface;
  if (!values.sources.every_interface) {
    if (typed.empty() || typed[0] != '0') {
      return "The interfaces must be * or a list such as 0|eth0|eth1 (0 alone: none).";
    }
    values.sources.interfaces = ReadListValue(typed);
  }
  StoreNetworkSearch(settings, values);
  return "";
}

std::string ShowPassword(Settings&) { return ""; }
std::string StorePassword(Settings& settings, const std::string& typed) {
  DatabaseValues values = LoadDatabaseValues(settings);
  values.password = typed;  // scrambled by the page's Store
  StoreDatabaseValues(settings, values);
  return "";
}

// A list that its own commands edit entry by entry, as the dialogs do.
template <const char* Setting, const char* Command>
std::string ShowList(Settings& settings) {
  return settings.GetValue(Setting);
}
template <const char* Setting, const char* Command>
std::string StoreList(Settings&, const std::string&) {
  return std::string("The list is changed one entry at a time: kivadmin ") + Command;
}
constexpr char kInclude[] = "IndexerIncludeList", kIncludeCommand[] = "include add|remove";
constexpr char kExclude[] = "IndexerExcludeList", kExcludeCommand[] = "exclude add|remove";
constexpr char kBan[] = "WebBanList", kBanCommand[] = "access ban add|remove";
constexpr char kGrant[] = "WebGrantList", kGrantCommand[] = "access grant add|remove";
constexpr char kMembers[] = "WebMembersList", kMembersCommand[] = "members add|remove";
constexpr char kCategories[] = "CategoriesEdit",
               kCategoriesCommand[] = "categories add|edit|remove|up|down|reset";

std::string ShowWebStatus(Settings& settings) {
  return ViewWebStatus(settings.GetValue("WebStatus")).label;
}
// "yes" starts the service, "no" stops it (after the page's question).
std::string StoreWebStatus(Settings& settings, const std::string& typed) {
  const std::optional<bool> on = ParseFlag(typed);
  if (!on) return "The value must be yes (running) or no (stopped).";
  if (!*on && settings.GetValue("WebStatus") == "yes" && !AskYesNo(kStopQuestion)) {
    return kDeclined;
  }
  settings.SetValue("WebStatus", *on ? "yes" : "no");
  return "";
}

std::string ShowCounter(Settings& settings) {
  return CounterToShow(settings.GetValue("WebCounter"));
}
std::string StoreCounter(Settings& settings, const std::string& typed) {
  const std::optional<std::string> value = CounterToStore(typed);
  if (!value) return kCounterRefusal;
  if (!AskYesNo(kSetCounterQuestion)) return kDeclined;
  settings.SetValue("WebCounter", *value);
  return "";
}

std::string ShowBanner(Settings& settings) { return settings.GetValue("FirstPageInfo"); }
std::string StoreBanner(Settings& settings, const std::string& typed) {
  settings.SetValue("FirstPageInfo", typed);
  return "";
}
std::string ShowSeverity(Settings& settings) {
  return kSeverities[SeverityIndex(settings.GetValue("FirstPageInfoSeverity"))];
}
std::string StoreSeverity(Settings& settings, const std::string& typed) {
  for (const char* severity : kSeverities) {
    if (Lower(typed) == severity) {
      settings.SetValue("FirstPageInfoSeverity", severity);
      return "";
    }
  }
  return "The severity must be high, medium or low.";
}

// The engine: "embedded" or "postgresql" (letter case ignored).
std::string StoreEngine(Settings& settings, const std::string& typed) {
  const std::string engine = EngineNamed(typed);
  if (engine.empty()) return kEngineChoiceError;
  return Database::StoreText<&DatabaseValues::engine>(settings, engine);
}

// Reads through to a store and keeps the names written, writing nothing.
class RecordingSettings final : public Settings {
 public:
  explicit RecordingSettings(Settings& base) : base_(base) {}
  std::string GetValue(const std::string& name) override { return base_.GetValue(name); }
  void SetValue(const std::string& name, const std::string&) override { written.insert(name); }
  std::string DefaultValue(const std::string& name) override { return base_.DefaultValue(name); }
  std::set<std::string> written;

 private:
  Settings& base_;
};

}  // namespace

const std::vector<PageField>& PageFields() {
  static const std::vector<PageField> fields = {
      {"database", "SqlEngine", "Engine", Database::ShowText<&DatabaseValues::engine>, StoreEngine},
      {"database", "SqlServer", "Server", Database::ShowText<&DatabaseValues::server>,
       Database::StoreText<&DatabaseValues::server>},
      {"database", "SqlDatabase", "Database", Database::ShowText<&DatabaseValues::database>,
       Database::StoreText<&DatabaseValues::database>},
      {"database", "SqlUser", "User", Database::ShowText<&DatabaseValues::user>,
       Database::StoreText<&DatabaseValues::user>},
      {"database", "SqlPassword", "Password", ShowPassword, StorePassword, true},
      {"database", "QueryConnectionTimeout", "Connection (seconds)",
       Database::ShowText<&DatabaseValues::connection_timeout>,
       Database::StoreDigits<&DatabaseValues::connection_timeout>},
      {"database", "QueryCommandTimeout", "Command (seconds)",
       Database::ShowText<&DatabaseValues::command_timeout>,
       Database::StoreDigits<&DatabaseValues::command_timeout>},

      {"files", "SqlLogFolder", "Log folder", Files::ShowText<&FilesValues::log_folder>,
       Files::StoreText<&FilesValues::log_folder>},
      {"files", "TemporaryFolder", "Temporary folder",
       Files::ShowText<&FilesValues::temporary_folder>,
       Files::StoreText<&FilesValues::temporary_folder>},
      {"files", "ReportFile", "Detailed report", Files::ShowText<&FilesValues::detailed_report>,
       Files::StoreText<&FilesValues::detailed_report>},
      {"files", "ReportFileShort", "Short report", Files::ShowText<&FilesValues::short_report>,
       Files::StoreText<&FilesValues::short_report>},
      {"files", "ReportFileShortDaily", "Split short report per day",
       Files::ShowFlag<&FilesValues::split_short_report_daily>,
       Files::StoreFlag<&FilesValues::split_short_report_daily>},
      {"files", "SuggestionsFile", "Suggestion file",
       Files::ShowText<&FilesValues::suggestions_file>,
       Files::StoreText<&FilesValues::suggestions_file>},

      {"misc", "SqlNotReindexHours", "Minimum reindex interval", ShowInterval<&MiscValues::reindex>,
       StoreIntervalRow<&MiscValues::reindex>},
      {"misc", "SqlComputerExpireHours", "Maximum persistence interval",
       ShowInterval<&MiscValues::expire>, StoreIntervalRow<&MiscValues::expire>},
      {"misc", "ShouldShortReport", "Generate short reports",
       Misc::ShowFlag<&MiscValues::short_reports>, Misc::StoreFlag<&MiscValues::short_reports>},
      {"misc", "ShouldReport", "Generate detailed reports",
       Misc::ShowFlag<&MiscValues::detailed_reports>,
       Misc::StoreFlag<&MiscValues::detailed_reports>},
      {"misc", "GenerateLogForStatistics", "Generate log for statistics",
       Misc::ShowFlag<&MiscValues::log_for_statistics>,
       Misc::StoreFlag<&MiscValues::log_for_statistics>},
      {"misc", "PingTimeout", "Ping timeout (ms)", Misc::ShowText<&MiscValues::ping_timeout>,
       Misc::StoreDigits<&MiscValues::ping_timeout>},
      {"misc", "MaxPingRoundtripTime", "Ping max roundtrip (mins)",
       Misc::ShowText<&MiscValues::max_roundtrip>, Misc::StoreDigits<&MiscValues::max_roundtrip>},
      {"misc", "Levels", "Scan levels", ShowLevels, StoreLevels},
      {"misc", "NumberOfThreads", "Indexing threads", ShowThreads, StoreThreads},
      {"misc", "IndexerScanPriority", "Priority", ShowPriority, StorePriority},
      {"misc", "GenerateReportFile", "Generate report file",
       Report::ShowFlag<&ReportOptions::generate>, StoreReport<&ReportOptions::generate>},
      {"misc", "OutputFile", "Output file", Report::ShowText<&ReportOptions::output_file>,
       StoreReport<&ReportOptions::output_file>},
      {"misc", "UnixStyleForFileNames", "Unix style for file names",
       Report::ShowFlag<&ReportOptions::unix_style>, StoreReport<&ReportOptions::unix_style>},
      {"misc", "SortedOutput", "Sorted output", Report::ShowFlag<&ReportOptions::sorted>,
       StoreReport<&ReportOptions::sorted>},
      {"misc", "DumpSizeForFileNames", "Dump file size",
       Report::ShowFlag<&ReportOptions::dump_size>, StoreReport<&ReportOptions::dump_size>},
      {"misc", "SplitBetweenShareAndDirectory", "Split between share and directory",
       Report::ShowFlag<&ReportOptions::split_share>, StoreReport<&ReportOptions::split_share>},
      {"misc", "SplitBetweenDirectoryAndFile", "Split between directory and file",
       Report::ShowFlag<&ReportOptions::split_file>, StoreReport<&ReportOptions::split_file>},
      {"misc", "MustEnumerateResourcesFromNetwork", "Search entire network",
       Network::ShowFlag<&NetworkSearch::search_entire_network>,
       Network::StoreFlag<&NetworkSearch::search_entire_network>},
      {"misc", "NetworkSearchBrowseList", "Browse list (NetBIOS)",
       ShowSource<&NetworkSearchSettings::browse_list>,
       StoreSource<&NetworkSearchSettings::browse_list>},
      {"misc", "NetworkSearchWsDiscovery", "WS-Discovery",
       ShowSource<&NetworkSearchSettings::ws_discovery>,
       StoreSource<&NetworkSearchSettings::ws_discovery>},
      {"misc", "NetworkSearchMdns", "mDNS (_smb._tcp)", ShowSource<&NetworkSearchSettings::mdns>,
       StoreSource<&NetworkSearchSettings::mdns>},
      {"misc", "NetworkSearchInterfaces", "Interfaces the searches send on", ShowInterfaces,
       StoreInterfaces},
      {"misc", "IndexerIgnoreIPZero", "Ignore IP zero",
       Network::ShowFlag<&NetworkSearch::ignore_zero>,
       Network::StoreFlag<&NetworkSearch::ignore_zero>},
      {"misc", "IndexerIgnoreIP255", "Ignore IP 255", Network::ShowFlag<&NetworkSearch::ignore_255>,
       Network::StoreFlag<&NetworkSearch::ignore_255>},
      {"misc", "IndexerIncludeList", "Including these servers", ShowList<kInclude, kIncludeCommand>,
       StoreList<kInclude, kIncludeCommand>},
      {"misc", "IndexerExcludeList", "Excluding these servers", ShowList<kExclude, kExcludeCommand>,
       StoreList<kExclude, kExcludeCommand>},

      {"security", "SecurityAllowAllIPs", "Allow all IPs (but the restricted)",
       Security::ShowFlag<&SecurityValues::allow_all>,
       Security::StoreFlag<&SecurityValues::allow_all>},
      {"security", "SecurityAllAreMembers", "All are members",
       Security::ShowFlag<&SecurityValues::all_are_members>,
       Security::StoreFlag<&SecurityValues::all_are_members>},
      {"security", "WebBanList", "Restricted IPs", ShowList<kBan, kBanCommand>,
       StoreList<kBan, kBanCommand>},
      {"security", "WebGrantList", "Granted IPs", ShowList<kGrant, kGrantCommand>,
       StoreList<kGrant, kGrantCommand>},
      {"security", "WebMembersList", "Members", ShowList<kMembers, kMembersCommand>,
       StoreList<kMembers, kMembersCommand>},

      {"web", "WebStatus", "Tellwen service", ShowWebStatus, StoreWebStatus},
      {"web", "WebCounter", "Web counter", ShowCounter, StoreCounter},
      {"web", "WebProxyEnabled", "Enable download", Web::ShowFlag<&WebValues::proxy_enabled>,
       Web::StoreFlag<&WebValues::proxy_enabled>},
      {"web", "AdministratorContact", "Administrator contact",
       Web::ShowText<&WebValues::administrator_contact>,
       Web::StoreText<&WebValues::administrator_contact>},
      {"web", "FirstPageInfo", "First page info", ShowBanner, StoreBanner},
      {"web", "FirstPageInfoSeverity", "First page info severity", ShowSeverity, StoreSeverity},
      {"web", "CategoriesEdit", "Categories", ShowList<kCategories, kCategoriesCommand>,
       StoreList<kCategories, kCategoriesCommand>},
  };
  return fields;
}

const PageField* FindPageField(const std::string& setting) {
  for (const PageField& field : PageFields()) {
    if (Lower(field.setting) == Lower(setting)) return &field;
  }
  return nullptr;
}

std::vector<std::string> StoredByPage(const std::string& page, Settings& settings) {
  RecordingSettings recording(settings);
  if (page == "database") {
    StoreDatabaseValues(recording, LoadDatabaseValues(settings));
  } else if (page == "files") {
    StoreFilesValues(recording, LoadFilesValues(settings));
  } else if (page == "misc") {
    StoreMiscValues(recording, LoadMiscValues(settings));
    StoreIndexerOptions(recording, LoadIndexerOptions(settings));
    StoreReportOptions(recording, LoadReportOptions(settings));
    StoreNetworkSearch(recording, LoadNetworkSearch(settings));
  } else if (page == "security") {
    StoreSecurityValues(recording, LoadSecurityValues(settings));
    StoreMembers(recording, LoadMembers(settings));
  } else if (page == "web") {
    StoreWebValues(recording, LoadWebValues(settings));
    StoreCategories(recording, LoadCategories(settings));
    // The status, the counter and the banner are written by their buttons
    // and dialog, not by the page's Store.
    recording.written.insert({"WebStatus", "WebCounter", "FirstPageInfo", "FirstPageInfoSeverity"});
  }
  return std::vector<std::string>(recording.written.begin(), recording.written.end());
}

}  // namespace tellwen::admin
