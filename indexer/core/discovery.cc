#include "indexer/core/discovery.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "common/address_list.h"
#include "indexer/core/scanner.h"
#include "indexer/core/search_source_network.h"

namespace tellwen::indexer {

namespace {

constexpr size_t kEnumBufferBytes = 16384;

// A computer's remote name as the network gave it is "\\" + one usable name.
bool IsComputerName(const std::string& remote_name) {
  return remote_name.size() > 2 && remote_name[0] == '\\' && remote_name[1] == '\\' &&
         IsUsableName(remote_name.substr(2));
}

// True when the queue took the resource (false: it was queued before).
bool Queue(const net::NetResource& resource, JobShared* shared) {
  if (shared->queue.Push(resource) <= 0) return false;
  shared->signal.Notify();
  return true;
}

// The report line of a computer the enumeration found: its name, the source
// (the provider of its resource) with what that source said of it, and what
// became of it.
void ReportFound(const net::NetResource& entry, const char* outcome, JobShared* shared) {
  std::string line = entry.remote_name;
  line += ": found by ";
  line += entry.provider.empty() ? "the network" : entry.provider;
  if (!entry.comment.empty()) {
    // A server's comment may be long; the report keeps its start.
    constexpr size_t kMaxComment = 200;
    line += " (";
    line += entry.comment.substr(0, kMaxComment);
    line += ")";
  }
  line += ", ";
  line += outcome;
  // Names and comments come from the network: no control byte reaches a
  // terminal or a log through the report.
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  shared->status.AddFoundComputer(line);
}

}  // namespace

void LoadIncludeList(const std::string& include_list, JobShared* shared) {
  ForEachListedComputer(include_list, [shared](const std::string& name) {
    net::NetResource resource;
    resource.remote_name = name;
    Queue(resource, shared);
    shared->status.computers_queued.fetch_add(1);
  });
}

void EnumerateNetwork(net::Network* network, const net::NetResource* container, int level,
                      JobShared* shared) {
  if (container != nullptr) network->AddConnection(*container, net::GuestAccount());
  net::NetStatus status;
  std::unique_ptr<net::ResourceEnumeration> enumeration = network->OpenEnum(container, &status);
  if (enumeration) {
    std::vector<net::NetResource> batch;
    while (!shared->Stopping() &&
           enumeration->Next(kEnumBufferBytes, &batch) == net::NetStatus::kOk) {
      for (const net::NetResource& entry : batch) {
        if ((entry.usage & net::kUsageContainer) == 0) continue;
        if (level < 2) {
          EnumerateNetwork(network, &entry, level + 1, shared);
        } else if (!IsComputerName(entry.remote_name)) {
          continue;  // not a name the scan could use
        } else if (shared->skip.Contains(entry.remote_name)) {
          shared->status.computers_skipped.fetch_add(1);
          ReportFound(entry, "skipped", shared);
        } else {
          const bool taken = Queue(entry, shared);
          shared->status.computers_queued.fetch_add(1);
          ReportFound(entry, taken ? "queued" : "queued before", shared);
        }
        if (shared->Stopping()) break;
      }
    }
  }
  if (container != nullptr) network->CancelConnection(container->remote_name, true);
}

namespace {

// Enumerates one source and reports how many computers it found and how long it took.
void EnumerateTimed(const std::string& source, net::Network* network, JobShared* shared) {
  const size_t lines_before = shared->status.FoundComputers().size();
  const auto start = std::chrono::steady_clock::now();
  EnumerateNetwork(network, nullptr, 0, shared);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t found = shared->status.FoundComputers(lines_before).size();
  char text[160];
  std::snprintf(text, sizeof text, "%s: %zu computer%s found in %.1f s%s", source.c_str(), found,
                found == 1 ? "" : "s", seconds, shared->Stopping() ? " (stopped)" : "");
  shared->status.AddFoundComputer(text);
}

}  // namespace

void EnumerateSources(net::Network* network, ComputerSearches* searches,
                      const NetworkSearchSettings& sources, JobShared* shared) {
  if (sources.browse_list && !shared->Stopping()) {
    EnumerateTimed("browse list", network, shared);
  }
  if (searches == nullptr) return;
  const net::SearchLimits limits{net::kDiscoveryWait, [shared] { return shared->Stopping(); }};
  for (SearchKind kind : {SearchKind::kWsDiscovery, SearchKind::kMdns}) {
    const bool on = kind == SearchKind::kWsDiscovery ? sources.ws_discovery : sources.mdns;
    if (!on || shared->Stopping()) continue;
    SearchSourceNetwork source(
        SearchKindName(kind), [&] { return searches->Find(kind, sources, limits); },
        // After a stop no name is looked up any more (each may take a second).
        [searches, shared](const std::string& name) {
          return !shared->Stopping() && searches->NameResolves(name);
        });
    EnumerateTimed(SearchKindName(kind), &source, shared);
  }
}

}  // namespace tellwen::indexer
