// The settings one request of the search site uses, read once when the
// request starts (ReadSiteSettings) into a plain snapshot that the gates and
// the pages take, so that every part of a request sees the same values and
// the store is read once per request.
//
// Two kinds of value stay outside the snapshot and go through Settings at
// their moment: the visitor counter, which the request writes back (a
// read-modify-write of the stored value), and the monitor's last ping round
// (LastPingTime with MaxPingRoundtripTime), which is compared with the boot
// clock read at the same moment (PingResultsFreshNow).
//
// Thread safety: SiteSettings is a value; ReadSiteSettings and
// PingResultsFreshNow are as thread-safe as the Settings and Clock given.
#pragma once

#include <string>

#include "base/clock.h"
#include "common/settings.h"

namespace tellwen::query {

// The gates of every framed page.
struct AccessSettings {
  std::string web_status;      // WebStatus ("yes": the service is open)
  bool allow_all_ips = false;  // SecurityAllowAllIPs: ban list mode, else grant list mode
  std::string ban_list;        // WebBanList
  std::string grant_list;      // WebGrantList
};

// The download permission.
struct DownloadSettings {
  bool proxy_enabled = false;    // WebProxyEnabled is "1"
  bool all_are_members = false;  // SecurityAllAreMembers is "1"
  std::string members_list;      // WebMembersList
  // DownloadWithScanAccount is "1": where the guest is refused, the scan
  // account of credentials_file (ScanCredentialsFile; ScanUseKerberos) is
  // offered, read afresh for each such download.
  bool with_scan_account = false;
  std::string credentials_file;
  bool use_kerberos = false;
};

// The request logs; the file names are read only when their log is on.
struct ReportSettings {
  bool detailed_on = false;   // ShouldReport
  bool short_on = false;      // ShouldShortReport
  bool short_daily = false;   // ReportFileShortDaily is "1"
  std::string detailed_file;  // ReportFile
  std::string short_file;     // ReportFileShort
};

struct SiteSettings {
  AccessSettings access;
  DownloadSettings download;
  ReportSettings reports;
  std::string admin_contact;             // AdministratorContact
  std::string data_of_index;             // DataOfTheIndex
  std::string categories;                // CategoriesEditForWeb
  std::string first_page_info;           // FirstPageInfo
  std::string first_page_info_severity;  // FirstPageInfoSeverity
  bool log_statistics = false;           // GenerateLogForStatistics
  std::string ping_timeout;              // PingTimeout
};

// First puts back what an update that did not finish left in the settings
// (common/update_state.h); never while an update runs.
SiteSettings ReadSiteSettings(Settings& settings);

// Whether the monitor's ping results are fresh now: LastPingTime and
// MaxPingRoundtripTime read from settings at this moment against the clock's
// tick count (PingResultsFresh in query/search.h gives the rule).
bool PingResultsFreshNow(Settings& settings, Clock& clock);

}  // namespace tellwen::query
