#include "indexer/core/update_sql.h"

#include "base/deep_stack.h"

namespace tellwen::indexer {

SqlResult UpdateSql::Run(const std::string& batch, int column_count, SqlCaller caller) {
  if (caller != SqlCaller::kIndexerTaskBody) return batches_.Run(batch, column_count, caller);
  SqlResult result;
  RunOnDeepStack([&] { result = task_connection_.Run(batch, column_count); });
  return result;
}

}  // namespace tellwen::indexer
