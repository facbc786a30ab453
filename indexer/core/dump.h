// The dump thread of the index job: moves the entries of the workers' stores
// into the index file and the output file while the scan goes on.
//
// Sorted mode writes computer 1's entries, then computer 2's, ... (holding
// the later computers' entries in their stores meanwhile); unsorted mode
// empties every store in turn every interval. End-of-computer markers are
// never written. Each written entry counts once in status.entries_dumped.
// Once the scan has finished (not on a stop), the output file ends with one
// line per refusal the scan recorded (JobStatus::Refusals).
//
// Files: the index file (when its path is not empty) and the output file
// (same), written as UTF-8 with CR LF line ends. A file that cannot be
// created is not written; the other still is.
//
// The output file is truncated and written in place. The index file is
// written as index_file + kPartialIndexSuffix and renamed to index_file when
// the dump ends (at the end of the scan or on a stop) with every write, the
// flush and the close done; so the update job never loads a cut index as if
// it were whole. Every write is checked: a failed one (a full disk) records
// the reason with JobShared::Fail, which ends the job; the partial index file
// is then removed and an earlier index file stays as it was.
//
// Thread safety: RunDump runs in the dump thread; it reads the stores under
// their locks and polls the shared flags.
#pragma once

#include <string>

#include "base/file_env.h"
#include "indexer/core/index_format.h"
#include "indexer/core/job_shared.h"

namespace tellwen::indexer {

struct DumpFiles {
  std::string index_file;   // empty: no index file
  std::string output_file;  // empty: no output file
  OutputLayout layout;
  bool sorted = false;
  FileEnv* env = nullptr;  // null: FileEnv::Default(); not owned
};

inline constexpr const char* kPartialIndexSuffix = ".partial";

// Runs until the scan has finished and every store is drained, or until a
// stop is requested. Leaves status.dump_state at kIdle; the job thread marks
// it done.
void RunDump(const DumpFiles& files, JobShared* shared);

}  // namespace tellwen::indexer
