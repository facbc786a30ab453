#include "monitor/core/monitor_state.h"

namespace tellwen::monitor {

MonitorTexts MonitorState::Texts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

void MonitorState::UpdateTexts(const std::function<void(MonitorTexts&)>& change) {
  MonitorTexts after;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const MonitorTexts before = texts_;
    change(texts_);
    if (texts_ == before) return;
    after = texts_;
  }
  if (observer_) observer_(after);
}

void MonitorState::SetObserver(std::function<void(const MonitorTexts&)> observer) {
  observer_ = std::move(observer);
}

}  // namespace tellwen::monitor
