#include "indexer/core/scanner.h"

#include <algorithm>
#include <vector>

#include "indexer/core/computer_login.h"

namespace tellwen::indexer {

namespace {

// The size of the buffer the share enumeration is read into: one batch only.
constexpr size_t kEnumBufferBytes = 16384;

}  // namespace

bool IsUsableName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("\\/") == std::string::npos;
}

namespace {

bool OnPath(const std::vector<uint64_t>& path_ids, uint64_t id) {
  return id != 0 && std::find(path_ids.begin(), path_ids.end(), id) != path_ids.end();
}

// A share whose refusal is no news: the hidden and administrative shares
// (C$, ADMIN$, IPC$, print$), which only administrators may open.
bool IsHiddenShare(const std::string& share_path) {
  return !share_path.empty() && share_path.back() == '$';
}

// path_ids: the ids of the folders from the share root down to folder's
// parent, and folder's own id last (0 where the server gave none).
void Walk(const ScanContext& context, ComputerLogin& login, const std::string& folder, int worker,
          int number, int depth, std::vector<uint64_t>* path_ids) {
  if (depth > context.levels) return;
  JobShared& shared = *context.shared;
  std::unique_ptr<net::FolderListing> listing;
  const net::NetStatus status = login.Run([&] {
    net::NetStatus found;
    listing = context.network->FindFirst(folder, &found);
    return found;
  });
  if (!listing) {
    // A share that refused every login is said; a folder below a share
    // that could be opened is the account's own limit, as before.
    if (depth == 0 && status == net::NetStatus::kAccessDenied && !IsHiddenShare(folder)) {
      shared.status.AddRefusal(login.RefusalText(folder));
    }
    return;
  }
  EntryStore& store = *shared.stores[worker];
  bool found_file = false;
  net::FindData found;
  std::string full;
  while (listing->Next(&found) == net::NetStatus::kOk) {
    if (found.name == "." && path_ids->back() == 0) {
      // The folder's own id, when the way here did not tell it; a folder
      // that is one of its ancestors is left at once.
      const uint64_t id = found.attributes.file_id;
      path_ids->back() = id;
      if (OnPath(std::vector<uint64_t>(path_ids->begin(), path_ids->end() - 1), id)) return;
    }
    if (IsUsableName(found.name)) {
      full.assign(folder).append("\\").append(found.name);
      net::FileAttributes attributes;
      login.Run([&] { return context.network->GetFileAttributes(full, &attributes); });
      // Unreadable attributes (all bits set) count as a folder, which then
      // cannot be listed and leaves no trace.
      if ((attributes.attributes & net::kAttributeDirectory) != 0) {
        // A folder already on the way down from the share root (a symbolic
        // link to "." or to a parent) is not entered again: the walk stays
        // linear in the number of distinct folders.
        if (!OnPath(*path_ids, attributes.file_id)) {
          path_ids->push_back(attributes.file_id);
          Walk(context, login, full, worker, number, depth + 1, path_ids);
          path_ids->pop_back();
        }
      } else {
        store.Add(number, full, KilobytesOf(attributes.size));
        shared.status.files_found.fetch_add(1, std::memory_order_relaxed);
        found_file = true;
      }
    }
    if (shared.Stopping()) break;
  }
  listing.reset();
  if (!found_file) store.Add(number, folder + "\\*", 0);
}

}  // namespace

void ScanComputer(const ScanContext& context, const net::NetResource& computer, int worker,
                  int number) {
  net::Network& network = *context.network;
  JobShared& shared = *context.shared;
  ComputerLogin login(&network, computer, context.scan_account);
  std::unique_ptr<net::ResourceEnumeration> enumeration;
  net::NetStatus status = login.Run([&] {
    net::NetStatus opened;
    enumeration = network.OpenEnum(&computer, &opened);
    return opened;
  });
  if (!enumeration) {
    if (status == net::NetStatus::kAccessDenied) {
      shared.status.AddRefusal(login.RefusalText(computer.remote_name));
    }
    return;
  }
  std::vector<std::string> shares;
  status = login.Run([&] {
    shares.clear();
    return network.ShareList(computer.remote_name, &shares);
  });
  if (status == net::NetStatus::kAccessDenied) {
    shared.status.AddRefusal(login.RefusalText(computer.remote_name));
  }
  std::vector<net::NetResource> batch;
  enumeration->Next(kEnumBufferBytes, &batch);
  for (size_t k = 0; k < shares.size() && !shared.Stopping(); ++k) {
    // The batch's k-th entry says whether the k-th share is a container.
    if (k < batch.size() && (batch[k].usage & net::kUsageContainer) != 0) continue;
    if (!IsUsableName(shares[k])) continue;
    std::string share_path = computer.remote_name + "\\" + shares[k];
    shared.status.SetWorkerText(worker, share_path);
    std::vector<uint64_t> path_ids{0};
    Walk(context, login, share_path, worker, number, 0, &path_ids);
  }
}

void RunScanWorker(const ScanContext& context, int worker) {
  JobShared& shared = *context.shared;
  JobStatus& status = shared.status;
  while (!shared.Stopping()) {
    uint64_t seen = shared.signal.Generation();
    net::NetResource computer;
    int number = shared.queue.Pop(&computer);
    bool slept = false;
    if (number > 0) {
      status.SetWorkerText(worker, computer.remote_name);
      status.busy_threads.fetch_add(1);
      ScanComputer(context, computer, worker, number);
      shared.stores[worker]->Add(number, kEndOfComputerPath, 0);
      shared.signal.Notify();
      status.SetWorkerText(worker, "idle");
      status.computers_done.fetch_add(1);
      status.busy_threads.fetch_sub(1);
    } else if (!shared.discovery_finished) {
      shared.signal.WaitFor(shared.timing.worker_idle, seen);
      slept = true;
    }
    if (number <= 0 && shared.discovery_finished && !slept) break;
  }
  status.SetWorkerText(worker, "done");
}

}  // namespace tellwen::indexer
