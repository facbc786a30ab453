#include "query/page_buffer.h"

namespace tellwen::query {

std::string* PageBuffers::Create(const void* conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string& text = entries_[conn];
  text.clear();
  return &text;
}

std::string PageBuffers::Take(const void* conn) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(conn);
  if (it == entries_.end()) return std::string();
  std::string text = std::move(it->second);
  entries_.erase(it);
  return text;
}

size_t PageBuffers::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace tellwen::query
