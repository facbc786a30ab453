#include "admin/core/quick_links_table.h"

#include "base/int_text.h"
#include "common/sql_text.h"

namespace tellwen::admin {
namespace {

// The administrator's statements run with the timeouts of the Database page
// (QueryConnectionTimeout, QueryCommandTimeout), as the web's statements do.
constexpr SqlCaller kCaller = SqlCaller::kQueryStatementRunner;

std::string Quote(const std::string& text) { return "'" + SqlQuoted(text) + "'"; }

// An id as a number for a statement: only digits ever reach the text.
std::string IdNumber(const std::string& id) { return std::to_string(LeadingInt(id)); }

Status Failed(const SqlResult& result) { return Status::Unavailable(result.error_text); }

}  // namespace

std::string QuickLinksTable::UpdateStatement(const QuickLink& row) {
  return "update quick_links set word=" + Quote(row.word) + ", display=" + Quote(row.display) +
         ", link=" + Quote(row.link) + " where id=" + IdNumber(row.id);
}

std::string QuickLinksTable::InsertStatement(const QuickLink& row) {
  return "insert into quick_links (word, display, link) values (" + Quote(row.word) + ", " +
         Quote(row.display) + ", " + Quote(row.link) + ")";
}

std::string QuickLinksTable::DeleteStatement(const std::string& id) {
  return "delete from quick_links where id=" + IdNumber(id);
}

Status QuickLinksTable::Load() {
  SqlResult result = sql_.Run(kQuickLinksSelect, 4, kCaller);
  if (result.error) return Failed(result);
  rows_.clear();
  for (const SqlRow& row : result.rows) rows_.push_back({row[0], row[1], row[2], row[3], false});
  return Status::Ok();
}

void QuickLinksTable::Edit(size_t row, int column, const std::string& text) {
  QuickLink& link = rows_.at(row);
  std::string* field = column == 0 ? &link.word : column == 1 ? &link.display : &link.link;
  if (*field == text) return;
  *field = text;
  link.changed = true;
}

size_t QuickLinksTable::AddRow() {
  rows_.push_back({});
  rows_.back().changed = true;
  return rows_.size() - 1;
}

Status QuickLinksTable::CommitRow(size_t row) {
  QuickLink& link = rows_.at(row);
  if (!link.changed) return Status::Ok();
  if (!link.id.empty()) {
    SqlResult result = sql_.Run(UpdateStatement(link), 0, kCaller);
    if (result.error) return Failed(result);
    link.changed = false;
    return Status::Ok();
  }
  SqlResult inserted = sql_.Run(InsertStatement(link), 0, kCaller);
  if (inserted.error) return Failed(inserted);
  link.changed = false;
  // The new row's id: the highest of the rows holding exactly these texts.
  SqlResult id =
      sql_.Run("select max(id) from quick_links where word=" + Quote(link.word) +
                   " and display=" + Quote(link.display) + " and link=" + Quote(link.link),
               1, kCaller);
  if (!id.error && !id.rows.empty()) link.id = id.rows[0][0];
  return Status::Ok();
}

Status QuickLinksTable::DeleteRow(size_t row) {
  Status status = DeleteStored(row);
  if (status.ok()) Forget(row);
  return status;
}

Status QuickLinksTable::DeleteStored(size_t row) {
  const QuickLink& link = rows_.at(row);
  if (link.id.empty()) return Status::Ok();
  SqlResult result = sql_.Run(DeleteStatement(link.id), 0, kCaller);
  return result.error ? Failed(result) : Status::Ok();
}

void QuickLinksTable::Forget(size_t row) {
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

}  // namespace tellwen::admin
