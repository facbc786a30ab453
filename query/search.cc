#include "query/search.h"

#include <algorithm>

#include "base/int_text.h"
#include "common/sql_text.h"
#include "query/text_utils.h"

namespace tellwen::query {

const char* const kAllowedCharsMessage =
    "[a-z], [A-Z], [0-9], '_', '.', '!', '$', '^', '&', '-', '+', '=', '~', '@', '#', ',', '(', "
    "')', '[', ']', '{', '}', ' ' and '?', '*' as wildcards.";

namespace {

constexpr long long kMaxSize = 2147483647;

}  // namespace

bool IsAllowedSearchChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  static constexpr std::string_view kOthers = ". -!$^&+=~@#,()[]{}_*?";
  return kOthers.find(c) != std::string_view::npos;
}

std::string PrepareMatchText(std::string_view search) {
  std::string text;
  text.reserve(search.size() + 16);
  for (char c : search) {
    if (c == '[') {
      text += "[[]";
    } else if (c == '_') {
      text += "[_]";
    } else if (c == '*') {
      text += '%';
    } else if (c == '?') {
      text += '_';
    } else {
      text += c;
    }
  }
  return text;
}

std::string BuildLikeExpression(const std::string& column, const std::string& prepared, int kind) {
  std::string text = " '(";
  if (kind == 2) {
    text += " " + column + " like ''" + SqlQuoted(SqlQuoted(prepared)) + "'' ";
  } else {
    bool first = true;
    for (const std::string& word : SplitText(prepared, ' ')) {
      if (!first) text += kind == 0 ? "OR" : "AND";
      first = false;
      text += " " + column + " like ''%" + SqlQuoted(SqlQuoted(word)) + "%'' ";
    }
  }
  text += ")' ";
  return text;
}

void SizeBounds(const CommandParams& p, long long* min_kb, long long* max_kb) {
  *min_kb = 0;
  *max_kb = kMaxSize;
  if (p.sizebetween != "on") return;
  const long long min_unit = p.sizeminunit == "M" ? 1024 : 1;
  const long long max_unit = p.sizemaxunit == "M" ? 1024 : 1;
  // A negative bound means nothing for a size; it counts as 0.
  long long min = std::max<long long>(0, LeadingInt(p.sizemin));
  long long max = std::max<long long>(0, LeadingInt(p.sizemax));
  min = std::min(min, kMaxSize / min_unit) * min_unit;
  max = std::min(max, kMaxSize / max_unit) * max_unit;
  if (p.sizemax == "max") max = kMaxSize;
  if (max < min) {
    *min_kb = max;
    *max_kb = min;
  } else if (min == 0 && max == 0) {
    *min_kb = 0;
    *max_kb = kMaxSize;
  } else {
    *min_kb = min;
    *max_kb = max;
  }
}

std::string CategoryClause(const std::string& categories, const std::string& name,
                           std::string* label) {
  std::string clause;
  const std::vector<std::string> pieces = SplitText(categories, '|');
  for (size_t n = 1; n < pieces.size(); ++n) {
    const std::vector<std::string> parts = SplitText(pieces[n], '/');
    if (parts.size() == 2 && parts[0] == name) {
      *label = parts[0];
      clause = " and gugu" + std::to_string(n) + "=1 ";
    }
  }
  return clause;
}

int PageSize(const std::string& pagesize) {
  if (!IsDigits(pagesize) || pagesize.size() > 6) return 200;
  const int size = LeadingInt(pagesize);
  return size >= 5 && size <= 2900 ? size : 200;
}

SearchPlan PlanSearch(const std::string& search, const CommandParams& p,
                      const std::string& categories) {
  SearchPlan plan;
  if (search.empty()) {
    plan.empty = true;
    plan.valid = false;
  } else if (search.size() > 100) {
    plan.valid = false;
  }
  for (char c : search) {
    if (!IsAllowedSearchChar(c)) {
      plan.invalid_chars = true;
      plan.valid = false;
      break;
    }
  }
  if (p.recordfrom.size() >= 10 || p.recordto.size() >= 10 || p.dowait.size() >= 10) {
    plan.valid = false;
  }
  plan.from = p.recordfrom.size() < 10 ? LeadingInt(p.recordfrom) : 0;
  plan.to = p.recordto.size() < 10 ? LeadingInt(p.recordto) : 0;
  if (plan.valid) {
    if (plan.from < 0 || plan.from >= 1000000000 || plan.to < 0 || plan.to >= 1000000000 ||
        plan.from > plan.to || plan.to - plan.from >= 2900) {
      plan.valid = false;
    }
  }
  plan.page_size = PageSize(p.pagesize);
  plan.kind = p.searchkind == "any word" ? 0 : p.searchkind == "exact" ? 2 : 1;
  plan.shares = p.shares == "on";
  plan.dirs = p.dirs == "on";
  plan.files = p.files == "on";
  if (p.sizebetween == "on") {
    plan.shares = 0;
    plan.dirs = 0;
    plan.files = 1;
  }
  SizeBounds(p, &plan.min_kb, &plan.max_kb);
  if (p.fromcategory == "on") {
    plan.category_clause = CategoryClause(categories, p.searchcategory, &plan.files_label);
  }
  plan.source = p.src == "main" ? 1 : p.src == "band" ? 2 : 0;
  if (plan.valid) {
    const std::string prepared = PrepareMatchText(search);
    plan.qu1 = BuildLikeExpression("s2", prepared, plan.kind);
    plan.qu2 = BuildLikeExpression("d2", prepared, plan.kind);
    plan.qu3 = BuildLikeExpression("fn", prepared, plan.kind);
  }
  return plan;
}

std::string SpSearchCall(const SearchPlan& plan, const std::string& search, bool alive,
                         const std::string& query_date, const std::string& request_id,
                         bool log_query) {
  return "spSearch '" + std::to_string(plan.from) + "', '" +
         std::to_string(plan.from + plan.page_size) + "', '" + std::to_string(plan.min_kb) +
         "', '" + std::to_string(plan.max_kb) + "', " + std::to_string(plan.shares) + ", " +
         std::to_string(plan.dirs) + ", " + std::to_string(plan.files) + ", " + plan.qu1 + ", " +
         plan.qu2 + ", " + plan.qu3 + ", '" + (alive ? "1" : "0") + "'" + ", " + "'" +
         SqlQuoted(search) + "', " + "'" + SqlQuoted(query_date) + "', " + "'" +
         SqlQuoted(request_id) + "'" + ", '" + plan.category_clause + "' " +
         (log_query ? "" : ", 0") + ";";
}

std::string SearchLogInsert(const SearchPlan& plan, const std::string& search,
                            const std::string& query_date, long long result_count,
                            const std::string& remote_addr, long long duration_seconds) {
  return "insert stat_searchs values ('" + SqlQuoted(query_date) + "', '" + SqlQuoted(search) +
         "', " + std::to_string(plan.from) + ", " + std::to_string(result_count) + ", " +
         std::to_string(plan.page_size) + ", '" + SqlQuoted(remote_addr) + "', " +
         std::to_string(plan.shares) + ", " + std::to_string(plan.dirs) + ", " +
         std::to_string(plan.files) + ", " + std::to_string(plan.min_kb) + ", " +
         std::to_string(plan.max_kb) + ", " + std::to_string(duration_seconds) + ", " +
         std::to_string(plan.source) + ")";
}

std::string SearchStartMark(const std::string& search, const std::string& query_date,
                            const std::string& request_id) {
  return "begin tran insert into stat_last_queries with(tablockx) (query_data, query_id, data_db, "
         "stringu, query_status) values (convert(varchar(50), '" +
         SqlQuoted(query_date) + "'), convert(varchar(20), '" + SqlQuoted(request_id) +
         "'), getdate(), convert(varchar(200), '" + SqlQuoted(search) +
         "'), 1) "
         "delete from stat_last_queries with(tablockx) where query_status = 1 and data_db < "
         "dateadd(minute, -10, getdate()) "
         "delete from stat_last_queries with(tablockx) where query_id not in (select top 15 "
         "query_id from stat_last_queries order by query_data desc) commit tran";
}

std::string SearchDoneMark(const std::string& request_id) {
  return "begin tran update stat_last_queries with(tablockx) set query_status = 2 where query_id "
         "= convert(varchar(20), '" +
         SqlQuoted(request_id) + "') commit tran";
}

std::string FailureMark(const std::string& request_id) {
  return "begin tran update stat_last_queries set query_status = 3 where query_id = '" +
         SqlQuoted(request_id) + "' commit tran";
}

bool PingResultsFresh(long long last_ms, long long now_ms, long long max_minutes) {
  if (last_ms > now_ms) return false;
  return (now_ms - last_ms) / 60000 <= max_minutes;
}

long long ParseLong(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > 100000000000000000LL) break;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace tellwen::query
