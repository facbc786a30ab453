#include "indexer/core/skip_list.h"

#include "common/address_list.h"
#include "indexer/core/work_queue.h"

namespace tellwen::indexer {

void SkipList::Add(const std::string& name) { names_.insert(FoldName(name)); }

bool SkipList::Contains(const std::string& name) const { return names_.count(FoldName(name)) != 0; }

std::string RecentComputersStatement(int hours) {
  return "declare @ultimii datetime    set @ultimii = (select DATEADD(hh, -" +
         std::to_string(hours) + ", getdate()))   select name from shares1 where data > @ultimii";
}

void BuildSkipList(int not_reindex_hours, const std::string& exclude_list, SqlSession* sql,
                   SkipList* skip) {
  skip->Clear();
  if (sql != nullptr) {
    SqlResult result =
        sql->Run(RecentComputersStatement(not_reindex_hours), 1, SqlCaller::kIndexerSkipList);
    // On an error the rows read before it (if any) still count.
    for (const SqlRow& row : result.rows) {
      if (row.empty()) continue;
      const std::string& name = row[0];
      // Stored as "//" + name.
      if (name.size() > 2) skip->Add("\\\\" + name.substr(2));
    }
  }
  ForEachListedComputer(exclude_list, [skip](const std::string& name) { skip->Add(name); });
}

}  // namespace tellwen::indexer
