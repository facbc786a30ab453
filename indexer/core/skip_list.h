// SkipList: computers that network discovery must not queue: those indexed
// within SqlNotReindexHours (read from the catalog's shares1 table) and those
// of IndexerExcludeList. Names are "\\" + name, compared ignoring case.
//
// The database is reached through a SqlSession; without one (null) only the
// exclude list counts.
//
// Thread safety: built by one thread before the job's threads start, then
// only read (Contains is safe from any number of threads).
#pragma once

#include <string>
#include <unordered_set>

#include "common/sql_session.h"

namespace tellwen::indexer {

class SkipList {
 public:
  void Clear() { names_.clear(); }
  void Add(const std::string& name);
  bool Contains(const std::string& name) const;
  size_t size() const { return names_.size(); }

 private:
  std::unordered_set<std::string> names_;  // upper case
};

// The statement that reads the computers indexed within the last hours.
std::string RecentComputersStatement(int hours);

// Clears *skip and fills it: the recently indexed computers (a database error
// is swallowed and leaves what was read), then every computer of the exclude
// list value.
void BuildSkipList(int not_reindex_hours, const std::string& exclude_list, SqlSession* sql,
                   SkipList* skip);

}  // namespace tellwen::indexer
