// QuickLinksTable: the rows of the table quick_links (id, word, display,
// link) as the quick-links editor shows and edits them.
//
// Rows are read in the order of "select id, word, display, link from
// quick_links order by word, display, link, id". Edits are kept in the row
// until the row is committed; a commit is one statement: an update of the
// row by its id, or for a new row an insert (whose id is then read back).
// Deleting a stored row is one delete by its id. Text values are quoted
// (common/sql_text.h SqlQuoted), so any typed text is stored as typed. A
// database error leaves the row as typed and marked changed, and is returned
// with the session's error text; nothing else is touched.
//
// Thread safety: an object is used by one thread.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "common/sql_session.h"

namespace tellwen::admin {

inline constexpr const char* kQuickLinksSelect =
    "select id, word, display, link from quick_links order by word, display, link, id";

struct QuickLink {
  std::string id;  // "" for a row not stored yet
  std::string word;
  std::string display;
  std::string link;
  bool changed = false;  // edited since it was read or last committed
};

class QuickLinksTable {
 public:
  explicit QuickLinksTable(SqlSession& sql) : sql_(sql) {}

  // Reads every row afresh (unsaved edits are dropped).
  Status Load();

  const std::vector<QuickLink>& rows() const { return rows_; }
  // Column 0 word, 1 display, 2 link.
  void Edit(size_t row, int column, const std::string& text);
  // Appends an empty new row (stored at its first commit).
  size_t AddRow();
  // Writes the row when it has changes; ok when there is nothing to write.
  Status CommitRow(size_t row);
  // Deletes the row: from the table when it is stored, then from the list.
  // On an error the row stays.
  Status DeleteRow(size_t row);
  // The two halves of DeleteRow, for a model that announces the removal in
  // between: the delete statement (ok for a row not stored), and dropping
  // the row from the list.
  Status DeleteStored(size_t row);
  void Forget(size_t row);

  // The statements, for the editor's tests and the session log.
  static std::string UpdateStatement(const QuickLink& row);
  static std::string InsertStatement(const QuickLink& row);
  static std::string DeleteStatement(const std::string& id);

 private:
  SqlSession& sql_;
  std::vector<QuickLink> rows_;
};

}  // namespace tellwen::admin
