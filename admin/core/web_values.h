// The Web page's and the "Edit First Page Info" dialog's rules: the site's
// status (WebStatus) and its label, the visitor counter (WebCounter), the
// proxy flag and contact, the first page's message and severity.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <optional>
#include <string>

#include "common/settings.h"

namespace tellwen::admin {

inline constexpr const char* kStopQuestion = "Are you sure do you want to stop Tellwen service?";
inline constexpr const char* kSetCounterQuestion =
    "Are you sure do you want to change the value of the web counter?";
inline constexpr const char* kResetCounterQuestion =
    "Are you sure do you want to reset the value of the web counter?";
inline constexpr const char* kCounterRefusal =
    "The web counter must be a whole number from 0 to 9999999.";

// How the status label and the START/STOP button show a WebStatus value:
// only "yes" is running ("updating", set by the indexer, reads as stopped).
struct WebStatusView {
  bool running = false;
  const char* label = "";
  const char* button = "";
};
WebStatusView ViewWebStatus(const std::string& web_status);

// The largest counter the site keeps (it restarts from 0 above it).
inline constexpr int kMaxWebCounter = 9999999;

// The value "&Set" stores for the number box's text: the number in plain
// decimal, or nullopt when the text is not a whole number the site reads
// (empty, not digits, above kMaxWebCounter).
std::optional<std::string> CounterToStore(const std::string& text);

// The number box's text for a stored WebCounter: its digits as the site
// reads them (a value the site would restart shows as "0").
std::string CounterToShow(const std::string& stored);

struct WebValues {
  bool proxy_enabled = false;         // WebProxyEnabled
  std::string administrator_contact;  // AdministratorContact
};
WebValues LoadWebValues(Settings& settings);
void StoreWebValues(Settings& settings, const WebValues& values);

inline constexpr const char* kNoFirstPageInfo = "N/A";
inline constexpr const char* kSeverities[] = {"high", "medium", "low"};
// The severity list's row for a stored FirstPageInfoSeverity: "high" and
// "medium" by name, anything else "low".
int SeverityIndex(const std::string& stored);

}  // namespace tellwen::admin
