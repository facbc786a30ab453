// The blocks of the results page: the wait block, the query-time and header
// lines, the paging bars, the result rows, the "no records found" box and the
// invalid-string page. Every name from the network is escaped for the place
// it lands in: element text, attribute, URL or JavaScript string.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <vector>

#include "query/command_params.h"

namespace tellwen::query {

std::string WaitBlock();
// "query time: " + time ("%M:%S").
std::string QueryTimeLine(const std::string& query_time);
// The header line; scope text from the flags and the files label.
std::string ScopeText(bool shares, bool dirs, bool files, const std::string& files_label);
std::string HeaderLine(const std::string& search, const std::string& scope, long long from,
                       long long result_count);

// "&" + name + "=" + URL-encoded value for the parameters that are given.
std::string ExtraParameters(const CommandParams& p);

struct PagingState {
  bool previous_enabled = false;
  bool next_enabled = false;
  long long previous_from = 0, previous_to = 0;
  long long next_from = 0, next_to = 0;
};
// a = from, b = from + page size - 1, c = result count, d = page size.
PagingState Paging(long long a, long long b, long long c, long long d);
// One paging bar; *nav_count is incremented and names the bar.
std::string PagingBar(const std::string& script_name, const std::string& search,
                      const std::string& extra, long long a, long long b, long long c, long long d,
                      int* nav_count);

// The table's opening and head, and its end. The table sorts by a click on
// a column head in browsers without element behaviours (class 'sortable',
// /kiv/sorttable.js), as the browse and statistics tables do.
std::string ResultsTableStart(bool download);
std::string ResultsTableEnd();
// One row of spSearch's result (10 columns).
void AppendResultRow(const std::vector<std::string>& row, bool automatic_ping, bool download,
                     const std::string& script_name, std::string* out);

std::string NoRecordsBox();
std::string InvalidStringBlock(const std::string& script_name);

}  // namespace tellwen::query
