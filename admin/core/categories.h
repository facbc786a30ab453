// The categories editor's rules: the rows of CategoriesEdit ("0", then
// "|" + name + "/" + search string per category), and the checks of the
// "Edit Category Item" dialog.
//
// Loading keeps only the fields with exactly one "/": a field without one or
// with more is dropped silently (and so disappears at the next OK). The
// patterns of a search string are checked by the indexer's own pattern rule
// (common/category_list.h), so every category the administrator can
// store is one the indexer keeps.
//
// Thread safety: pure functions, plus Load/Store through the caller's
// Settings.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/settings.h"

namespace tellwen::admin {

struct CategoryRow {
  std::string name;
  std::string search;  // the search string as typed (trimmed)
  bool operator==(const CategoryRow&) const = default;
};

inline constexpr const char* kNoSelectedItems = "There are no selected items.";

// The rows of a CategoriesEdit value.
std::vector<CategoryRow> ParseCategories(const std::string& value);
// The CategoriesEdit value of rows.
std::string CategoriesValue(const std::vector<CategoryRow>& rows);

// The stored list, and the defaults table's (for "Reset").
std::vector<CategoryRow> LoadCategories(Settings& settings);
std::vector<CategoryRow> DefaultCategories(Settings& settings);
void StoreCategories(Settings& settings, const std::vector<CategoryRow>& rows);

// Which edit box a refusal puts the focus back into.
enum class CategoryField { kName, kSearch };

struct CategoryRefusal {
  std::string text;
  CategoryField field = CategoryField::kName;
};

// The item editor's OK: trims both texts, then refuses, in this order, an
// empty name, a name among names_to_avoid (exact comparison), an empty
// search string, a name holding "|", "/" or "\", a search string without a
// non-empty pattern or with a pattern holding a character outside the
// allowed set. On success *row holds the trimmed texts.
std::optional<CategoryRefusal> CheckCategory(const std::string& name, const std::string& search,
                                             const std::vector<std::string>& names_to_avoid,
                                             CategoryRow* row);

}  // namespace tellwen::admin
