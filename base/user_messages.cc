#include "base/user_messages.h"

#include <cstdio>
#include <mutex>

#include "base/keyed_table.h"

namespace tellwen {
namespace {

std::mutex sink_mutex;
std::shared_ptr<UserMessages> sink;  // null: the stderr sink

std::shared_ptr<UserMessages> CurrentSink() {
  std::lock_guard<std::mutex> lock(sink_mutex);
  if (!sink) sink = std::make_shared<StderrMessages>();
  return sink;
}

const char* IconLabel(MessageIcon icon) {
  static constexpr KeyedValue<MessageIcon, const char*> kLabels[] = {
      {MessageIcon::kWarning, "warning"},
      {MessageIcon::kError, "error"},
      {MessageIcon::kQuestion, "question"}};
  return LookUp(kLabels, icon, "info");
}

}  // namespace

void StderrMessages::Show(const std::string& text, MessageIcon icon) {
  // One write per message, so that messages of several threads do not mix.
  std::string line = std::string(IconLabel(icon)) + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool StderrMessages::AskYesNo(const std::string& text, MessageIcon icon) {
  std::string line = std::string(IconLabel(icon)) + ": " + text +
                     "\n(no one to answer here; taking the safe answer: no)\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  return false;
}

void SetUserMessages(std::shared_ptr<UserMessages> new_sink) {
  std::lock_guard<std::mutex> lock(sink_mutex);
  sink = std::move(new_sink);
}

void ShowMessage(const std::string& text, MessageIcon icon) { CurrentSink()->Show(text, icon); }

bool AskYesNo(const std::string& text, MessageIcon icon) {
  return CurrentSink()->AskYesNo(text, icon);
}

RepeatedMessages::RepeatedMessages(Clock& clock, uint64_t interval_ms, size_t max_keys)
    : clock_(clock), interval_ms_(interval_ms), max_keys_(max_keys) {}

void RepeatedMessages::Show(const std::string& key, const std::string& text, MessageIcon icon) {
  std::string shown;
  {
    MutexLock lock(mutex_);
    const uint64_t now = clock_.SteadyMs();
    Seen* seen = nullptr;
    if (auto it = seen_.find(key); it != seen_.end()) {
      seen = &it->second;
    } else if (seen_.size() < max_keys_) {
      seen_.emplace(key, Seen{now, 0});
      shown = text;
    } else if (!overflow_used_) {
      overflow_used_ = true;
      overflow_ = Seen{now, 0};
      shown = text;
    } else {
      seen = &overflow_;
    }
    if (seen != nullptr) {
      ++seen->repeats;
      const uint64_t since = now - seen->shown_ms;
      if (since < interval_ms_) return;
      shown = text + " (" + std::to_string(seen->repeats) + " times in the last " +
              std::to_string(since / 1000) + " seconds)";
      *seen = Seen{now, 0};
    }
  }
  ShowMessage(shown, icon);
}

}  // namespace tellwen
