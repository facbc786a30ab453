// File categories of the catalog: the category list built from the setting
// CategoriesEdit, and the SQL batches that give the fresh catalog one flag
// column per category ("gugu" + number) with its statistics rows.
//
// CategoriesEdit is a list value: "0|Name/pattern; pattern|Name/...". Each
// pattern is a file-name wildcard ("*.mp3", "a_b*"); a pattern holding any
// character outside the allowed set is dropped, and a category left without
// patterns is dropped too, so the categories after it move up one number.
// Only the allowed characters reach a LIKE condition; the name and the pattern
// text, which are quoted into statements as they are, have their quotes
// doubled.
//
// Thread safety: pure functions.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tellwen {

struct Category {
  std::string name;          // display name (text before the first "/")
  std::string pattern_text;  // the patterns as the setting holds them
  std::string condition;     // "(fn like '%.mp3') or (fn like '%.mp2') "
  std::string column;        // "gugu" + number, numbered from 1 over kept ones
};

// One pattern as a LIKE pattern: "[" becomes "[[]", "_" becomes "[_]", then
// "*" becomes "%" and "?" becomes "_". Empty when the pattern holds a character
// that is not a letter, a digit or one of . (blank) - ! $ ^ & + = ~ @ # , ( ) [
// ] { } _ * ? (bytes from 0x80 up count as letters: UTF-8 names), and for an
// empty pattern (a stray "; " would otherwise match every share and folder).
std::optional<std::string> ConvertCategoryPattern(const std::string& pattern);

// The kept categories of a CategoriesEdit value, numbered from 1.
std::vector<Category> BuildCategoryList(const std::string& categories_edit);

// The batch run after the task "DONT-inserting categories": one
// " alter table temp_aall add gugu<k> tinyint NULL " per category. Empty when
// there is no category.
std::string CategoryColumnsBatch(const std::vector<Category>& categories);

// The batch run after the task "updating categories": every category's flag
// set in one pass over temp_aall (1 where its condition holds, else 0: the
// flags of setting it to 0, then to 1 where the condition holds), then per
// category an index on the column, the rows count_, size_, origs_, name_,
// oname_ (consecutive ids) and one top_ row per computer of temp_shares1 into
// temp_stat_categories. Empty when there is no category.
std::string CategoryUpdateBatch(const std::vector<Category>& categories);

}  // namespace tellwen
