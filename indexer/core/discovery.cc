#include "indexer/core/discovery.h"

#include <vector>

#include "indexer/core/address_list.h"
#include "indexer/core/scanner.h"

namespace tellwen::indexer {

namespace {

constexpr size_t kEnumBufferBytes = 16384;

// A computer's remote name as the network gave it is "\\" + one usable name.
bool IsComputerName(const std::string& remote_name) {
  return remote_name.size() > 2 && remote_name[0] == '\\' && remote_name[1] == '\\' &&
         IsUsableName(remote_name.substr(2));
}

void Queue(const net::NetResource& resource, JobShared* shared) {
  if (shared->queue.Push(resource) > 0) shared->signal.Notify();
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
  if (container != nullptr) network->AddConnection(*container, "guest", "");
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
        } else {
          Queue(entry, shared);
          shared->status.computers_queued.fetch_add(1);
        }
        if (shared->Stopping()) break;
      }
    }
  }
  if (container != nullptr) network->CancelConnection(container->remote_name, true);
}

}  // namespace tellwen::indexer
