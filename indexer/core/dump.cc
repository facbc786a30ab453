#include "indexer/core/dump.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace tellwen::indexer {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenTruncated(const std::string& path) {
  if (path.empty()) return nullptr;
  File file(std::fopen(path.c_str(), "wb"));
  if (file) std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
  return file;
}

// Writes entries to the open files and counts them.
class EntryWriter {
 public:
  EntryWriter(const DumpFiles& files, JobStatus* status)
      : index_(OpenTruncated(files.index_file)),
        output_(OpenTruncated(files.output_file)),
        layout_(files.layout),
        status_(status) {}

  void Write(const Entry& entry) {
    if (index_) {
      line_ = IndexLine(entry.path, entry.size);
      line_ += "\r\n";
      std::fwrite(line_.data(), 1, line_.size(), index_.get());
    }
    if (output_) {
      line_ = OutputLine(entry.path, entry.size, layout_);
      line_ += "\r\n";
      std::fwrite(line_.data(), 1, line_.size(), output_.get());
    }
    status_->entries_dumped.fetch_add(1, std::memory_order_relaxed);
  }

 private:
  File index_;
  File output_;
  OutputLayout layout_;
  JobStatus* status_;
  std::string line_;
};

// Writes every entry each store holds now (markers skipped).
void DrainAll(JobShared* shared, EntryWriter* writer) {
  Entry entry;
  for (auto& store : shared->stores) {
    while (!shared->Stopping() && store->Take(&entry) > 0) {
      if (!entry.IsEndOfComputer()) writer->Write(entry);
    }
  }
}

void RunUnsorted(JobShared* shared, EntryWriter* writer) {
  while (!shared->Stopping()) {
    uint64_t seen = shared->signal.Generation();
    shared->status.dump_state = DumpState::kDumping;
    DrainAll(shared, writer);
    shared->status.dump_state = DumpState::kIdle;
    if (!shared->scan_finished) shared->signal.WaitFor(shared->timing.unsorted_dump, seen);
    if (shared->scan_finished) {
      shared->status.dump_state = DumpState::kDumping;
      DrainAll(shared, writer);
      shared->status.dump_state = DumpState::kIdle;
      break;
    }
  }
}

void RunSorted(JobShared* shared, EntryWriter* writer) {
  const size_t workers = shared->stores.size();
  std::vector<Entry> heads(workers);
  for (size_t i = 0; i < workers; ++i) shared->stores[i]->Take(&heads[i]);
  int expected = 1;
  while (!shared->Stopping()) {
    uint64_t seen = shared->signal.Generation();
    bool some_head = false;
    bool slept = false;
    // A head taken in this round is examined in the next one; the rounds
    // must go on for it even when the scan has finished meanwhile, or its
    // computer's entries would never be written.
    bool took_head = false;
    int chosen = -1;
    for (size_t i = 0; i < workers; ++i) {
      if (heads[i].computer > 0) {
        some_head = true;
        if (heads[i].computer == expected) chosen = static_cast<int>(i);
      } else if (shared->stores[i]->Take(&heads[i]) > 0) {
        took_head = true;
      }
    }
    if (chosen >= 0) {
      Entry& head = heads[chosen];
      EntryStore& store = *shared->stores[chosen];
      if (!head.IsEndOfComputer()) {
        shared->status.dump_state = DumpState::kDumping;
        writer->Write(head);
        while (true) {
          store.Take(&head);
          if (head.computer != expected || head.IsEndOfComputer() || shared->Stopping()) break;
          writer->Write(head);
        }
        shared->status.dump_state = DumpState::kIdle;
      }
      if (head.computer == expected && head.IsEndOfComputer()) {
        ++expected;
        store.Take(&head);
      }
    }
    // Pause when nothing could be written, unless a head was just taken: it
    // is examined at once in the next round.
    bool finished = shared->scan_finished;
    if (!took_head && ((chosen < 0 && some_head) || (!some_head && !finished))) {
      shared->signal.WaitFor(shared->timing.sorted_dump, seen);
      slept = true;
    }
    if (!some_head && !took_head && shared->scan_finished && !slept) break;
  }
}

}  // namespace

void RunDump(const DumpFiles& files, JobShared* shared) {
  EntryWriter writer(files, &shared->status);
  shared->status.dump_state = DumpState::kIdle;
  if (files.sorted) {
    RunSorted(shared, &writer);
  } else {
    RunUnsorted(shared, &writer);
  }
  shared->status.dump_state = DumpState::kIdle;
}

}  // namespace tellwen::indexer
