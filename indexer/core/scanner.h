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
// Unreachable computers, shares without access and folders that cannot be
// listed are skipped without a message. Names from the network that cannot
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
};

// The worker loop: runs until the queue is exhausted after discovery, or a
// stop is requested; then marks the worker "done".
void RunScanWorker(const ScanContext& context, int worker);

// Scans one computer into store `worker` (without the end-of-computer marker).
void ScanComputer(const ScanContext& context, const net::NetResource& computer, int worker,
                  int number);

// Walks folder at depth (share root = 0) into store `worker`.
void WalkFolder(const ScanContext& context, const std::string& folder, int worker, int number,
                int depth);

// True for a name that can stand as one component of a path.
bool IsUsableName(const std::string& name);

}  // namespace tellwen::indexer
