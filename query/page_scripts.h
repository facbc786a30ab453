// The browser-side scripts of the pages: the form's cookies and control
// checks and the ping request (head of every page that is not refused), the
// updating page's countdown, the results page's clock with the ping-age
// tooltip, and the closing scripts of EndPage.
//
// The pages call the scripts by these names (LoadSettings, SaveSettings,
// toggleSize, checkstuff, ping, getRelTime, clock), and the scripts reach
// elements by id (document.getElementById), so they run in today's browsers
// as in old ones.
//
// Thread safety: pure functions.
#pragma once

#include <ctime>
#include <string>

namespace tellwen::query {

// The head scripts; script_name is the extension's URL (for the ping).
std::string PageScripts(const std::string& script_name, bool home);
// Counts "05":00 down in element "ceasu" once a second, reloads at 0:00.
std::string CountdownScript();
// The clock script of a results page: page arrival time, the server's local
// time now and getRelTime.
std::string ClockScript(const std::tm& local_now);
// EndPage's script for a page that is not the home page: hides "tdDisp",
// shows "quicklinks", "table1".."table3" and "tablenav1".."tablenavN" (by
// clearing their display:none, so tables keep their table layout).
std::string RevealScript(int nav_count);
// "document.title='KIV - " + title + "';" in a script element; title is
// already a JavaScript string body.
std::string TitleScript(const std::string& title);

}  // namespace tellwen::query
