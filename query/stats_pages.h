// The statistics pages: misc, top shares (also per category), categories,
// last queries, files and the charts page. The renderers take the rows the
// page's statement returned and give the page's HTML; StatsPage runs the
// statement of the page that `path` names and appends the body.
//
// Every text from the catalog or the logs is escaped for the place it lands
// in; the category number `t` reaches SQL only as a validated number.
//
// Thread safety: pure functions; StatsPage uses only its own Page.
#pragma once

#include <string>

#include "common/db_session.h"
#include "query/command_params.h"

namespace tellwen::query {

struct Page;

// "1234567" becomes "1.234.567"; a text that is not digits stays as it is.
std::string DotGrouped(const std::string& digits);
// Days (" day " / " days ") when at least one, then hh:mm:ss.
std::string UptimeText(long long seconds);
// The statistics navigation block; current is the page's path word
// ("misc", "topshares", "charts", "files", "lastqueries", "categories").
std::string StatsNavigation(const std::string& script_name, const std::string& current);

std::string MiscTable(const std::string& web_server, const std::string& uptime,
                      const SqlRows& rows);
// category_title: "" for all computers, else the category's display name.
std::string TopSharesTable(const SqlRows& rows, const std::string& category_title,
                           bool category_view, bool ping_fresh, const std::string& script_name);
std::string CategoriesTable(const SqlRows& rows, const std::string& script_name);
std::string LastQueriesTable(const SqlRows& rows);
std::string FilesTable(const SqlRows& rows);
std::string ChartsPanel(const std::string& script_name, bool charting_on);

// The category number of a top-shares request: `t` of 1 to 6 digits with a
// value of at least 1, else 0 (not a category view).
int TopSharesCategory(const std::string& t);
// The statement of the top shares page; category 0 is every computer.
std::string TopSharesStatement(int category);
// The display name of category n of CategoriesEditForWeb ("" when none).
std::string CategoryName(const std::string& categories, int n);

// Runs the page of p.path and appends its body (see the file comment).
void StatsPage(Page& page, const CommandParams& p);

}  // namespace tellwen::query
