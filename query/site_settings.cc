#include "query/site_settings.h"

#include "common/scan_account_settings.h"
#include "common/settings_fields.h"
#include "common/update_state.h"
#include "query/search.h"

namespace tellwen::query {

namespace {

constexpr TextField<SiteSettings> kSiteTexts[] = {
    {"AdministratorContact", &SiteSettings::admin_contact},
    {"DataOfTheIndex", &SiteSettings::data_of_index},
    {"CategoriesEditForWeb", &SiteSettings::categories},
    {"FirstPageInfo", &SiteSettings::first_page_info},
    {"FirstPageInfoSeverity", &SiteSettings::first_page_info_severity},
    {"PingTimeout", &SiteSettings::ping_timeout}};

SiteSettings ReadSnapshot(Settings& settings) {
  SiteSettings site;
  site.reports.detailed_on = settings.GetBoolValue("ShouldReport");
  site.reports.short_on = settings.GetBoolValue("ShouldShortReport");
  if (site.reports.detailed_on) site.reports.detailed_file = settings.GetValue("ReportFile");
  if (site.reports.short_on) {
    site.reports.short_file = settings.GetValue("ReportFileShort");
    site.reports.short_daily = settings.GetValue("ReportFileShortDaily") == "1";
  }
  site.download.proxy_enabled = settings.GetValue("WebProxyEnabled") == "1";
  site.download.all_are_members = settings.GetValue("SecurityAllAreMembers") == "1";
  site.download.members_list = settings.GetValue("WebMembersList");
  const ScanAccountSettings scan = ReadScanAccountSettings(settings);
  site.download.with_scan_account = scan.download_with_scan_account;
  if (site.download.with_scan_account) {
    site.download.credentials_file = scan.credentials_file;
    site.download.use_kerberos = scan.use_kerberos;
  }
  site.access.web_status = settings.GetValue("WebStatus");
  site.access.allow_all_ips = settings.GetBoolValue("SecurityAllowAllIPs");
  site.access.ban_list = settings.GetValue("WebBanList");
  site.access.grant_list = settings.GetValue("WebGrantList");
  ReadFields(settings, kSiteTexts, &site);
  site.log_statistics = settings.GetBoolValue("GenerateLogForStatistics");
  return site;
}

}  // namespace

SiteSettings ReadSiteSettings(Settings& settings) {
  SiteSettings site = ReadSnapshot(settings);
  // An update that did not finish leaves the site closed ("updating") or the
  // busy banner up: its values are put back first, unless it is still running.
  if (MayBeLeftByUpdate(site.access.web_status, site.first_page_info)) {
    UpdateRecovery recovery = UpdateRecovery::kNothingLeft;
    RecoverUnfinishedUpdate(UpdateStateFolder(), settings, &recovery);
    if (recovery == UpdateRecovery::kPutBack) site = ReadSnapshot(settings);
  }
  return site;
}

bool PingResultsFreshNow(Settings& settings, Clock& clock) {
  return PingResultsFresh(ParseLong(settings.GetValue("LastPingTime")),
                          static_cast<long long>(clock.TickCount()),
                          ParseLong(settings.GetValue("MaxPingRoundtripTime")));
}

}  // namespace tellwen::query
