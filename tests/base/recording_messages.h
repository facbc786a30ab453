// Test support: a message sink that records every message box instead of
// showing it, and answers questions with a preset answer.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/user_messages.h"

namespace tellwen::testing {

class RecordingMessages : public UserMessages {
 public:
  void Show(const std::string& text, MessageIcon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back(text);
  }
  bool AskYesNo(const std::string& text, MessageIcon) override {
    std::lock_guard<std::mutex> lock(mutex_);
    asked_.push_back(text);
    return answer_;
  }
  std::vector<std::string> shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }
  std::vector<std::string> asked() {
    std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
  }
  void set_answer(bool answer) { answer_ = answer; }

 private:
  std::mutex mutex_;
  std::vector<std::string> shown_;
  std::vector<std::string> asked_;
  bool answer_ = false;
};

// Installs a RecordingMessages sink for the span of a scope.
class ScopedRecordingMessages {
 public:
  ScopedRecordingMessages() : sink_(std::make_shared<RecordingMessages>()) {
    SetUserMessages(sink_);
  }
  ~ScopedRecordingMessages() { SetUserMessages(nullptr); }
  RecordingMessages* operator->() { return sink_.get(); }

 private:
  std::shared_ptr<RecordingMessages> sink_;
};

}  // namespace tellwen::testing
