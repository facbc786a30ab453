#include "query/site_settings.h"

#include "common/update_state.h"
#include "query/search.h"

namespace tellwen::query {

SiteSettings ReadSiteSettings(Settings& settings) {
  // An update that did not finish leaves the site closed ("updating") or the
  // busy banner up: put its values back first, unless it is still running.
  if (MayBeLeftByUpdate(settings.GetValue("WebStatus"), settings.GetValue("FirstPageInfo"))) {
    RecoverUnfinishedUpdate(UpdateStateFolder(), settings);
  }
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
  site.access.web_status = settings.GetValue("WebStatus");
  site.access.allow_all_ips = settings.GetBoolValue("SecurityAllowAllIPs");
  site.access.ban_list = settings.GetValue("WebBanList");
  site.access.grant_list = settings.GetValue("WebGrantList");
  site.admin_contact = settings.GetValue("AdministratorContact");
  site.data_of_index = settings.GetValue("DataOfTheIndex");
  site.categories = settings.GetValue("CategoriesEditForWeb");
  site.first_page_info = settings.GetValue("FirstPageInfo");
  site.first_page_info_severity = settings.GetValue("FirstPageInfoSeverity");
  site.log_statistics = settings.GetBoolValue("GenerateLogForStatistics");
  site.ping_timeout = settings.GetValue("PingTimeout");
  return site;
}

bool PingResultsFreshNow(Settings& settings, Clock& clock) {
  return PingResultsFresh(ParseLong(settings.GetValue("LastPingTime")),
                          static_cast<long long>(clock.TickCount()),
                          ParseLong(settings.GetValue("MaxPingRoundtripTime")));
}

}  // namespace tellwen::query
