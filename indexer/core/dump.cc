#include "indexer/core/dump.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/atomic_file.h"

namespace tellwen::indexer {

namespace {

// One of the two files: its name as shown to the user, the path written to
// and, for the index file, the path it is renamed to when complete.
struct DumpFile {
  std::string shown;
  std::string written;
  std::string final_path;  // empty: written in place
  std::unique_ptr<WritableFile> in_place;
  AtomicFile atomic;             // the index file, renamed when whole
  WritableFile* file = nullptr;  // where the lines go; null: not written
  bool failed = false;
};

// Writes entries to the open files and counts them. A write that fails ends
// the dump: the failure is recorded in shared and the job stops.
class EntryWriter {
 public:
  EntryWriter(const DumpFiles& files, JobShared* shared)
      : env_(files.env != nullptr ? files.env : FileEnv::Default()),
        layout_(files.layout),
        shared_(shared) {
    if (!files.index_file.empty()) {
      Open(&index_, "the index file", files.index_file + kPartialIndexSuffix, files.index_file);
    }
    if (!files.output_file.empty()) {
      Open(&output_, "the output file", files.output_file, "");
    }
  }

  bool Write(const Entry& entry) {
    if (index_.file) {
      line_ = IndexLine(entry.path, entry.size);
      line_ += "\r\n";
      if (!Append(&index_)) return false;
    }
    if (output_.file) {
      line_ = OutputLine(entry.path, entry.size, layout_);
      line_ += "\r\n";
      if (!Append(&output_)) return false;
    }
    shared_->status.entries_dumped.fetch_add(1, std::memory_order_relaxed);
    return true;
  }

  // The output file's last lines: the computers and shares that refused
  // every login, for the person who reads the listing. Never in the index
  // file, whose every line is an entry.
  void WriteRefusals() {
    if (!output_.file) return;
    for (const std::string& refusal : shared_->status.Refusals()) {
      line_ = refusal;
      line_ += "\r\n";
      if (!Append(&output_)) return;
    }
  }

  // Closes both files. The index file takes its real name only when every
  // write, the flush and the close worked; otherwise its partial copy is
  // removed and an earlier index file stays as it was.
  void Finish() {
    if (output_.file) {
      Check(&output_, output_.file->Close());
      output_.file = nullptr;
      output_.in_place.reset();
    }
    if (index_.file) {
      index_.file = nullptr;
      if (!index_.failed && !shared_->Failed()) {
        Check(&index_, index_.atomic.Commit());
      } else {
        index_.atomic.Abandon();
      }
    }
  }

 private:
  void Open(DumpFile* file, const char* shown, const std::string& written,
            const std::string& final_path) {
    file->shown = shown;
    file->written = written;
    file->final_path = final_path;
    // A file that cannot be created is not written; the job goes on.
    if (final_path.empty()) {
      if (env_->NewWritableFile(written, &file->in_place) == 0) file->file = file->in_place.get();
    } else {
      AtomicWriteOptions options;
      options.temporary = written;
      options.sync = true;
      options.env = env_;
      if (file->atomic.Open(final_path, options) == 0) file->file = &file->atomic.file();
    }
  }

  bool Append(DumpFile* file) {
    const int error = file->file->Append(line_);
    if (error == 0) return true;
    Check(file, error);
    return false;
  }

  void Check(DumpFile* file, int error) {
    if (error == 0 || file->failed) return;
    file->failed = true;
    const std::string& path = file->final_path.empty() ? file->written : file->final_path;
    std::string text = "Cannot write " + file->shown + " " + path + ": " + std::strerror(error);
    if (!file->final_path.empty()) text += "\nThe earlier index file was kept.";
    shared_->Fail(text);
  }

  FileEnv* env_;
  DumpFile index_;
  DumpFile output_;
  OutputLayout layout_;
  JobShared* shared_;
  std::string line_;
};

// Writes every entry each store holds now (markers skipped).
void DrainAll(JobShared* shared, EntryWriter* writer) {
  Entry entry;
  for (auto& store : shared->stores) {
    while (!shared->Stopping() && store->Take(&entry) > 0) {
      if (!entry.IsEndOfComputer() && !writer->Write(entry)) return;
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
        bool written = writer->Write(head);
        while (written) {
          store.Take(&head);
          if (head.computer != expected || head.IsEndOfComputer() || shared->Stopping()) break;
          written = writer->Write(head);
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
  EntryWriter writer(files, shared);
  shared->status.dump_state = DumpState::kIdle;
  if (files.sorted) {
    RunSorted(shared, &writer);
  } else {
    RunUnsorted(shared, &writer);
  }
  if (!shared->Stopping()) writer.WriteRefusals();
  writer.Finish();
  shared->status.dump_state = DumpState::kIdle;
}

}  // namespace tellwen::indexer
