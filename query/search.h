// The search request: validation of the parameters, the derived values of
// one search and the texts of its statements (the spSearch call, the search
// log, the failure mark). No request text reaches a statement except the
// validated search string (whose allowed characters hold no quote) and
// numbers computed here.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

#include "query/command_params.h"

namespace tellwen::query {

// The allowed-characters message.
extern const char* const kAllowedCharsMessage;

// True for a letter, digit or one of . space - ! $ ^ & + = ~ @ # , ( ) [ ] { } _ * ?
bool IsAllowedSearchChar(char c);

struct SearchPlan {
  bool valid = true;
  bool empty = false;          // the search string is empty
  bool invalid_chars = false;  // it holds a character outside the allowed set
  long long from = 0;
  long long to = 0;
  int page_size = 200;
  int kind = 1;  // 0 any word, 1 all words, 2 exact
  int shares = 0, dirs = 0, files = 0;
  long long min_kb = 0, max_kb = 2147483647;
  std::string category_clause;
  std::string files_label = "files";
  int source = 0;  // 1 main, 2 band, 0 other
  std::string qu1, qu2, qu3;
};

// Validates and derives every value; categories is CategoriesEditForWeb.
SearchPlan PlanSearch(const std::string& search, const CommandParams& p,
                      const std::string& categories);

// "[" to "[[]", "_" to "[_]", then "*" to "%" and "?" to "_".
std::string PrepareMatchText(std::string_view search);
// " '(" ... ")' " for one column (s2, d2 or fn), kind 0/1/2.
std::string BuildLikeExpression(const std::string& column, const std::string& prepared, int kind);
// Size bounds in kilobytes from sizemin/sizemax and their units.
void SizeBounds(const CommandParams& p, long long* min_kb, long long* max_kb);
// " and gugu<n>=1 " for the last category named name, or ""; *label gets it.
std::string CategoryClause(const std::string& categories, const std::string& name,
                           std::string* label);
// Page size: pagesize in 5..2900, else 200.
int PageSize(const std::string& pagesize);

// The spSearch call text. Without log_query the procedure writes no row of
// stat_last_queries: the site's call, which writes them itself (below).
std::string SpSearchCall(const SearchPlan& plan, const std::string& search, bool alive,
                         const std::string& query_date, const std::string& request_id,
                         bool log_query = true);
// The stat_searchs insert.
std::string SearchLogInsert(const SearchPlan& plan, const std::string& search,
                            const std::string& query_date, long long result_count,
                            const std::string& remote_addr, long long duration_seconds);
// The rows the site keeps in stat_last_queries for each of its searches,
// written through the log writer (query/log_writer.h) around an spSearch
// call without log_query: the same rows and the same statements as the
// procedure's own (its parameters' lengths included), so that the list of
// the 15 newest searches and their status words read as they always have.
// The start: the search running (status 1), searches left running for ten
// minutes and all but the 15 newest removed.
std::string SearchStartMark(const std::string& search, const std::string& query_date,
                            const std::string& request_id);
// The end: the search done (status 2).
std::string SearchDoneMark(const std::string& request_id);
// The failure mark of a request id (status 3).
std::string FailureMark(const std::string& request_id);
// The failure mark of every search still marked running, made when the
// extension is loaded (a server that ended during a search left its row).
inline constexpr const char* kLeftRunningMark =
    "begin tran update stat_last_queries set query_status = 3 where query_status = 1 commit tran";

// The monitor's ping results are fresh when its last round (last_ms, a tick
// count) is not later than now_ms and at most max_minutes old (whole minutes).
bool PingResultsFresh(long long last_ms, long long now_ms, long long max_minutes);
// Leading decimal integer of a text as a 64-bit number (0 when none): spaces,
// an optional sign, then digits. Tick counts outgrow int after 24 days, so
// this reader is not base/int_text.h's LeadingInt, which saturates at the
// int range.
long long ParseLong(std::string_view text);

}  // namespace tellwen::query
