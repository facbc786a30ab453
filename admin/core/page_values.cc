#include "admin/core/page_values.h"

namespace tellwen::admin {
namespace {

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

FilesValues LoadFilesValues(Settings& settings) {
  FilesValues values;
  values.log_folder = settings.GetValue("SqlLogFolder");
  values.temporary_folder = settings.GetValue("TemporaryFolder");
  values.detailed_report = settings.GetValue("ReportFile");
  values.short_report = settings.GetValue("ReportFileShort");
  values.split_short_report_daily = settings.GetValue("ReportFileShortDaily") == "1";
  values.suggestions_file = settings.GetValue("SuggestionsFile");
  return values;
}

void StoreFilesValues(Settings& settings, const FilesValues& values) {
  settings.SetValue("SqlLogFolder", values.log_folder);
  settings.SetValue("TemporaryFolder", values.temporary_folder);
  settings.SetValue("ReportFile", values.detailed_report);
  settings.SetValue("ReportFileShort", values.short_report);
  settings.SetValue("ReportFileShortDaily", Flag(values.split_short_report_daily));
  settings.SetValue("SuggestionsFile", values.suggestions_file);
}

MiscValues LoadMiscValues(Settings& settings) {
  MiscValues values;
  values.reindex = ShowInterval(settings.GetIntValue("SqlNotReindexHours"));
  values.expire = ShowInterval(settings.GetIntValue("SqlComputerExpireHours"));
  values.short_reports = settings.GetBoolValue("ShouldShortReport");
  values.detailed_reports = settings.GetBoolValue("ShouldReport");
  values.log_for_statistics = settings.GetBoolValue("GenerateLogForStatistics");
  values.ping_timeout = settings.GetValue("PingTimeout");
  values.max_roundtrip = settings.GetValue("MaxPingRoundtripTime");
  return values;
}

void StoreMiscValues(Settings& settings, const MiscValues& values) {
  settings.SetValue("SqlNotReindexHours",
                    std::to_string(StoreInterval(values.reindex.number, values.reindex.unit)));
  settings.SetValue("SqlComputerExpireHours",
                    std::to_string(StoreInterval(values.expire.number, values.expire.unit)));
  settings.SetValue("ShouldShortReport", Flag(values.short_reports));
  settings.SetValue("ShouldReport", Flag(values.detailed_reports));
  settings.SetValue("GenerateLogForStatistics", Flag(values.log_for_statistics));
  settings.SetValue("PingTimeout", values.ping_timeout);
  settings.SetValue("MaxPingRoundtripTime", values.max_roundtrip);
}

}  // namespace tellwen::admin
