// Test support: a FileEnv over the real file system that fails on cue. Writes
// to a file whose path ends in the chosen suffix fail with write_error once
// write_budget bytes have gone to it (an atomic write's temporary file ends
// in its target's name, so it counts as the target); reads of such a file
// fail with read_error once read_budget bytes have been read. Creating such
// a file can be made to fail (create_error), and renames too.
//
// Thread safety: set the rules before the code under test runs.
#pragma once

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/file_env.h"

namespace tellwen::testing {

class FaultFileEnv : public FileEnv {
 public:
  std::string suffix;  // files the rules apply to ("" : every file)
  size_t write_budget = static_cast<size_t>(-1);
  int write_error = ENOSPC;
  size_t read_budget = static_cast<size_t>(-1);
  int read_error = EIO;
  int create_error = 0;
  int rename_error = 0;
  std::vector<std::string> renamed;  // "from -> to" of each rename that worked

  int NewWritableFile(const std::string& path, std::unique_ptr<WritableFile>* file) override {
    if (create_error != 0 && Applies(path)) return create_error;
    int error = base_->NewWritableFile(path, file);
    if (error == 0 && Applies(path)) *file = std::make_unique<Writer>(std::move(*file), this);
    return error;
  }
  int NewExclusiveFile(const std::string& path, unsigned mode,
                       std::unique_ptr<WritableFile>* file) override {
    if (create_error != 0 && Applies(path)) return create_error;
    int error = base_->NewExclusiveFile(path, mode, file);
    if (error == 0 && Applies(path)) *file = std::make_unique<Writer>(std::move(*file), this);
    return error;
  }
  int NewReadableFile(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
    int error = base_->NewReadableFile(path, file);
    if (error == 0 && Applies(path)) *file = std::make_unique<Reader>(std::move(*file), this);
    return error;
  }
  int RenameFile(const std::string& from, const std::string& to) override {
    if (rename_error != 0) return rename_error;
    int error = base_->RenameFile(from, to);
    if (error == 0) renamed.push_back(from + " -> " + to);
    return error;
  }
  int LinkFile(const std::string& from, const std::string& to) override {
    return base_->LinkFile(from, to);
  }
  int RemoveFile(const std::string& path) override { return base_->RemoveFile(path); }

 private:
  bool Applies(const std::string& path) const {
    return path.size() >= suffix.size() &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
  }

  class Writer : public WritableFile {
   public:
    Writer(std::unique_ptr<WritableFile> base, FaultFileEnv* env)
        : base_(std::move(base)), env_(env) {}
    int Append(std::string_view data) override {
      if (failed_ != 0) return failed_;
      if (data.size() > env_->write_budget - written_) {
        // The part that still fits goes through, as on a disk that fills up.
        base_->Append(data.substr(0, env_->write_budget - written_));
        written_ = env_->write_budget;
        return failed_ = env_->write_error;
      }
      written_ += data.size();
      return base_->Append(data);
    }
    int Sync() override { return failed_ != 0 ? failed_ : base_->Sync(); }
    int Close() override {
      int error = base_->Close();
      return failed_ != 0 ? failed_ : error;
    }

   private:
    std::unique_ptr<WritableFile> base_;
    FaultFileEnv* env_;
    size_t written_ = 0;
    int failed_ = 0;
  };

  class Reader : public ReadableFile {
   public:
    Reader(std::unique_ptr<ReadableFile> base, FaultFileEnv* env)
        : base_(std::move(base)), env_(env) {}
    int Read(char* buffer, size_t n, size_t* read) override {
      *read = 0;
      if (read_ >= env_->read_budget) return env_->read_error;
      if (n > env_->read_budget - read_) n = env_->read_budget - read_;
      int error = base_->Read(buffer, n, read);
      read_ += *read;
      return error;
    }

   private:
    std::unique_ptr<ReadableFile> base_;
    FaultFileEnv* env_;
    size_t read_ = 0;
  };

  FileEnv* base_ = FileEnv::Default();
};

}  // namespace tellwen::testing
