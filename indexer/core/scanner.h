// The scan workers of the index job: each takes computers from the work
// queue, lists the computer's shares and walks every share's folders down to
// `levels`, recording one entry per file and an empty-folder marker per
// walked folder without files into its own entry store, then the
// end-of-computer marker.
//
// A folder that is already on the way down from its share root (same nonzero
// file id from the server: a symbolic link to "." or to a parent folder) is
// not entered again, so a link loop costs one look, not a walk to `levels`.
//
// Each computer is asked with the guest login first, then, where it refuses
// the guest, with the job's scan account (computer_login.h). A computer, or
// a share that is not hidden (its name ends in "$"), that refuses every
// login offered is recorded in status's refusals; unreachable computers and
// folders below a share that cannot be listed are skipped without a
// message. Names from the network that cannot
// be part of a path (empty, ".", "..", or holding "\" or "/") are skipped.
//
// Thread safety: RunScanWorker runs in worker i's own thread; workers share
// the queue, the status and the network (all safe for that).
#pragma once

#include <string>

#include "indexer/core/job_shared.h"
#include "platform/net/network.h"

namespace tellwen::indexer {

struct ScanContext {
  net::Network* network = nullptr;
  JobShared* shared = nullptr;
  int levels = 2000;
  // Offered where the guest is refused; null: the guest only. Not owned.
  const net::NetAccount* scan_account = nullptr;
};

// The worker loop: runs until the queue is exhausted after discovery, or a
// stop is requested; then marks the worker "done".
void RunScanWorker(const ScanContext& context, int worker);

// Scans one computer into store `worker` (without the end-of-computer marker).
void ScanComputer(const ScanContext& context, const net::NetResource& computer, int worker,
                  int number);

// True for a name that can stand as one component of a path.
bool IsUsableName(const std::string& name);

}  // namespace tellwen::indexer
