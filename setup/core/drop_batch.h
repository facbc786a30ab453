// The batch that removes the catalog's objects and keeps the database: every
// table and the four stored procedures, each drop guarded by an existence
// test, so that a database holding only some of them loses those and the
// batch goes on.
//
// Thread safety: pure function.
#pragma once

#include <string>

namespace tellwen::setup {

std::string BuildDropBatch();

}  // namespace tellwen::setup
