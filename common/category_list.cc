#include "common/category_list.h"

#include <cstddef>

#include "base/list_value.h"
#include "base/text_trim.h"

namespace tellwen {
namespace {

bool IsAllowedPatternChar(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  static constexpr std::string_view kAllowed = ". -!$^&+=~@#,()[]{}_*?";
  return kAllowed.find(static_cast<char>(c)) != std::string_view::npos;
}

// A text as a T-SQL string literal body: every "'" doubled.
std::string Quoted(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace

std::optional<std::string> ConvertCategoryPattern(const std::string& pattern) {
  if (pattern.empty()) return std::nullopt;
  for (unsigned char c : pattern) {
    if (!IsAllowedPatternChar(c)) return std::nullopt;
  }
  std::string out;
  out.reserve(pattern.size() + 8);
  for (char c : pattern) {
    switch (c) {
      case '[':
        out += "[[]";
        break;
      case '_':
        out += "[_]";
        break;
      case '*':
        out += '%';
        break;
      case '?':
        out += '_';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::vector<Category> BuildCategoryList(const std::string& categories_edit) {
  std::vector<Category> categories;
  for (const std::string& field : ReadListValue(categories_edit)) {
    const size_t slash = field.find('/');
    Category category;
    category.name = field.substr(0, slash);
    if (slash != std::string::npos) {
      const size_t next = field.find('/', slash + 1);
      category.pattern_text =
          field.substr(slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
    }
    size_t begin = 0;
    const std::string& text = category.pattern_text;
    while (begin <= text.size() && !text.empty()) {
      size_t end = text.find(';', begin);
      if (end == std::string::npos) end = text.size();
      std::optional<std::string> like =
          ConvertCategoryPattern(Trim(text.substr(begin, end - begin), " "));
      if (like) {
        if (category.condition.empty()) {
          category.condition = "(fn like '" + *like + "') ";
        } else {
          category.condition += "or (fn like '" + *like + "') ";
        }
      }
      begin = end + 1;
    }
    if (category.condition.empty()) continue;
    category.column = "gugu" + std::to_string(categories.size() + 1);
    categories.push_back(std::move(category));
  }
  return categories;
}

std::string CategoryColumnsBatch(const std::vector<Category>& categories) {
  std::string batch;
  for (const Category& category : categories) {
    batch += " alter table temp_aall add " + category.column + " tinyint NULL ";
  }
  return batch;
}

std::string CategoryUpdateBatch(const std::vector<Category>& categories) {
  if (categories.empty()) return "";
  // Every flag in one pass over the catalog: each row is read and written
  // once, not twice per category. The flags are those of "set c=0" followed
  // by "set c=1 where condition": a condition that is not true (false, or
  // unknown for a NULL name) leaves 0.
  std::string batch = " update temp_aall set ";
  for (size_t i = 0; i < categories.size(); ++i) {
    if (i) batch += ", ";
    batch += categories[i].column + "=case when " + categories[i].condition + "then 1 else 0 end";
  }
  batch += "\n";
  for (const Category& category : categories) {
    const std::string& c = category.column;
    batch += "create index i_" + c + " on temp_aall(" + c + ") \n";
    batch += " insert into temp_stat_categories select 'count_" + c + "', count(" + c +
             ") from temp_aall where " + c + "=1\n";
    batch += " insert into temp_stat_categories select 'size_" + c + "', sum(convert(bigint, fs))" +
             " from temp_aall where " + c + "=1\n";
    batch += " insert into temp_stat_categories select 'origs_" + c + "', '" +
             Quoted(category.pattern_text) + "'\n";
    batch += " insert into temp_stat_categories select 'name_" + c + "', '" + c + "'\n";
    batch += " insert into temp_stat_categories select 'oname_" + c + "', '" +
             Quoted(category.name) + "'\n";
    // Per computer: the category's files counted from the category's own
    // rows (through the new index), not by joining every row of the catalog.
    batch += " insert into temp_stat_categories(attr, value) select 'top_" + c +
             "', substring(temp_shares1.name, 3, 255) + '*' + convert(varchar(20), "
             "isnull(found.files, 0)) + '*' + convert(varchar(20), isnull(found.kb, 0)) from "
             "temp_shares1 left outer join (select s1, count(*) as files, sum(convert(bigint, fs)) "
             "as kb from temp_aall where " +
             c +
             "=1 group by s1) as found on found.s1 = temp_shares1.name order by "
             "isnull(found.kb, 0) desc, temp_shares1.name\n";
  }
  return batch;
}

}  // namespace tellwen
