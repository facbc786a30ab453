#include "admin/core/page_values.h"

#include "common/settings_fields.h"

namespace tellwen::admin {
namespace {

constexpr TextField<FilesValues> kFilesTexts[] = {
    {"SqlLogFolder", &FilesValues::log_folder},
    {"TemporaryFolder", &FilesValues::temporary_folder},
    {"ReportFile", &FilesValues::detailed_report},
    {"ReportFileShort", &FilesValues::short_report},
    {"SuggestionsFile", &FilesValues::suggestions_file}};
// Read as exactly "1", unlike the flags below.
constexpr const char* kShortReportDaily = "ReportFileShortDaily";

constexpr FlagField<MiscValues> kMiscFlags[] = {
    {"ShouldShortReport", &MiscValues::short_reports},
    {"ShouldReport", &MiscValues::detailed_reports},
    {"GenerateLogForStatistics", &MiscValues::log_for_statistics}};
constexpr TextField<MiscValues> kMiscTexts[] = {
    {"PingTimeout", &MiscValues::ping_timeout},
    {"MaxPingRoundtripTime", &MiscValues::max_roundtrip}};

}  // namespace

FilesValues LoadFilesValues(Settings& settings) {
  FilesValues values;
  ReadFields(settings, kFilesTexts, &values);
  values.split_short_report_daily = settings.GetValue(kShortReportDaily) == "1";
  return values;
}

void StoreFilesValues(Settings& settings, const FilesValues& values) {
  StoreFields(settings, kFilesTexts, values);
  settings.SetValue(kShortReportDaily, values.split_short_report_daily ? "1" : "0");
}

MiscValues LoadMiscValues(Settings& settings) {
  MiscValues values;
  values.reindex = ShowInterval(settings.GetIntValue("SqlNotReindexHours"));
  values.expire = ShowInterval(settings.GetIntValue("SqlComputerExpireHours"));
  ReadFields(settings, kMiscFlags, &values);
  ReadFields(settings, kMiscTexts, &values);
  return values;
}

void StoreMiscValues(Settings& settings, const MiscValues& values) {
  settings.SetValue("SqlNotReindexHours",
                    std::to_string(StoreInterval(values.reindex.number, values.reindex.unit)));
  settings.SetValue("SqlComputerExpireHours",
                    std::to_string(StoreInterval(values.expire.number, values.expire.unit)));
  StoreFields(settings, kMiscFlags, values);
  StoreFields(settings, kMiscTexts, values);
}

}  // namespace tellwen::admin
