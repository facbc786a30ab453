// Network discovery of the index job: queues the include list, and walks the
// network neighbourhood (root -> provider -> workgroups -> computers),
// queueing every computer found that the skip list does not hold.
//
// Thread safety: LoadIncludeList runs in the job thread before the workers
// start; EnumerateNetwork runs in the discovery thread. Both push into the
// shared queue and count in the shared status (safe from any thread).
#pragma once

#include <string>

#include "indexer/core/job_shared.h"
#include "platform/net/network.h"

namespace tellwen::indexer {

// Queues every computer of the include list value (the skip list is not
// consulted); computers_queued counts every name, duplicates included.
void LoadIncludeList(const std::string& include_list, JobShared* shared);

// Enumerates container (null: the network's root) at level: levels 0 and 1
// recurse into their containers, level 2 queues computers. Ends early on a
// stop request.
void EnumerateNetwork(net::Network* network, const net::NetResource* container, int level,
                      JobShared* shared);

}  // namespace tellwen::indexer
