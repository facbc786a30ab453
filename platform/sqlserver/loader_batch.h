// Recognises the loader's batches: nothing but "begin tran", "commit tran"
// and "insert [into] table values(constant, ...)" statements. Such a batch is
// read by this small scanner instead of the general lexer and parser (it
// sends 3000 inserts per batch, a million per update); anything else, even
// a comment, makes it decline and the general pipeline runs the batch.
//
// Thread safety: pure function.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlserver/value.h"

namespace tellwen::sqlserver {

struct LoaderOp {
  enum class Kind { kBegin, kCommit, kInsert } kind;
  std::string table;  // kInsert
  size_t first = 0;   // kInsert: index of its first value
  size_t count = 0;   // kInsert: number of values
};

// True when text is entirely such a batch; fills ops and values.
bool ScanLoaderBatch(std::string_view text, std::vector<LoaderOp>* ops, std::vector<Value>* values);

}  // namespace tellwen::sqlserver
