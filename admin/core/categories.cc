#include "admin/core/categories.h"

#include <algorithm>

#include "base/list_value.h"
#include "base/text_trim.h"
#include "common/category_list.h"

namespace tellwen::admin {
namespace {

constexpr char kBlanks[] = " \t\r\n";

bool ValidSearchString(const std::string& search) {
  bool any = false;
  size_t begin = 0;
  while (begin <= search.size()) {
    size_t end = search.find(';', begin);
    if (end == std::string::npos) end = search.size();
    const std::string pattern = Trim(search.substr(begin, end - begin), kBlanks);
    if (!pattern.empty()) {
      if (!ConvertCategoryPattern(pattern)) return false;
      any = true;
    }
    begin = end + 1;
  }
  return any;
}

}  // namespace

std::vector<CategoryRow> ParseCategories(const std::string& value) {
  std::vector<CategoryRow> rows;
  for (const std::string& field : ReadListValue(value)) {
    const size_t slash = field.find('/');
    if (slash == std::string::npos || field.find('/', slash + 1) != std::string::npos) continue;
    rows.push_back({field.substr(0, slash), field.substr(slash + 1)});
  }
  return rows;
}

std::string CategoriesValue(const std::vector<CategoryRow>& rows) {
  std::vector<std::string> entries;
  for (const CategoryRow& row : rows) entries.push_back(row.name + "/" + row.search);
  return MakeListValue(entries);
}

std::vector<CategoryRow> LoadCategories(Settings& settings) {
  return ParseCategories(settings.GetValue("CategoriesEdit"));
}

std::vector<CategoryRow> DefaultCategories(Settings& settings) {
  return ParseCategories(settings.DefaultValue("CategoriesEdit"));
}

void StoreCategories(Settings& settings, const std::vector<CategoryRow>& rows) {
  settings.SetValue("CategoriesEdit", CategoriesValue(rows));
}

std::optional<CategoryRefusal> CheckCategory(const std::string& name, const std::string& search,
                                             const std::vector<std::string>& names_to_avoid,
                                             CategoryRow* row) {
  const std::string trimmed_name = Trim(name, kBlanks);
  const std::string trimmed_search = Trim(search, kBlanks);
  if (trimmed_name.empty()) {
    return CategoryRefusal{"Category name cannot be empty.", CategoryField::kName};
  }
  if (std::find(names_to_avoid.begin(), names_to_avoid.end(), trimmed_name) !=
      names_to_avoid.end()) {
    return CategoryRefusal{"A category with that name already exists.", CategoryField::kName};
  }
  if (trimmed_search.empty()) {
    return CategoryRefusal{"Search string cannot be empty.", CategoryField::kSearch};
  }
  if (trimmed_name.find_first_of("|/\\") != std::string::npos) {
    return CategoryRefusal{
        "Name of the category contains illegal characters (characters '|', '/' and '\\' are not "
        "permitted).",
        CategoryField::kName};
  }
  // A "|" would split the stored list value; the pattern rule refuses it.
  if (!ValidSearchString(trimmed_search)) {
    return CategoryRefusal{"Search string contains illegal characters.", CategoryField::kSearch};
  }
  *row = {trimmed_name, trimmed_search};
  return std::nullopt;
}

}  // namespace tellwen::admin
