// kivsql: a T-SQL shell for administrators, in the manner of sqlcmd.
//
//   kivsql [-S server] [-d database] [-U user] [-P password] (-Q "batch" | -i file)
//
// Options left out come from the settings store (SqlServer, SqlDatabase,
// SqlUser and the unscrambled SqlPassword). A file is split into batches at
// lines holding only "go". Every row of the first row set of each batch is
// printed, fields separated by a TAB, one line per row, no header. On an
// error the session's error text goes to stderr and the exit status is 1.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/registry/value_cache.h"
#include "tools/kivsql/kivsql.h"

int main(int argc, char** argv) {
  // A few settings read once: no watch on the settings store.
  tellwen::registry::ReadEveryValueFromItsFile();
  std::vector<std::string> args(argv + 1, argv + argc);
  return tellwen::RunKivSql(args, std::cout, std::cerr);
}
