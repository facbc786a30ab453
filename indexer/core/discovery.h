// Network discovery of the index job: queues the include list, and walks the
// network neighbourhood (root -> provider -> workgroups -> computers) of each
// source, queueing every computer found that the skip list does not hold.
//
// Thread safety: LoadIncludeList runs in the job thread before the workers
// start; EnumerateNetwork runs in the discovery thread. Both push into the
// shared queue and count in the shared status (safe from any thread).
#pragma once

#include <string>

#include "common/network_search_settings.h"
#include "indexer/core/computer_searches.h"
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

// "Search entire network": enumerates every source that `sources` turns on,
// one after the other: the browse list of `network`, then (when searches is
// not null) WS-Discovery and mDNS, each as a network of its own
// (search_source_network.h). The queue keeps a computer found by two sources
// once; the skip list applies to every source; a stop request ends each. The
// report gets one line per source with what it found and how long it took.
void EnumerateSources(net::Network* network, ComputerSearches* searches,
                      const NetworkSearchSettings& sources, JobShared* shared);

}  // namespace tellwen::indexer
