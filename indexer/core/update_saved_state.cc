#include "indexer/core/update_saved_state.h"

#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

namespace tellwen::indexer {
namespace {

// One value per line: "\" and line ends escaped.
std::string Escape(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

UpdateSavedState::UpdateSavedState(std::string state_file, Settings& settings)
    : state_file_(std::move(state_file)), settings_(settings) {}

void UpdateSavedState::RecoverLeftover(const std::string& state_file, Settings& registry) {
  std::vector<std::string> saved;
  {
    std::ifstream in(state_file, std::ios::binary);
    std::string line;
    while (in && std::getline(in, line)) saved.push_back(Unescape(line));
  }
  const bool have_file = saved.size() >= 3;
  if (registry.GetValue("WebStatus") == kWebStatusUpdating) {
    registry.SetValue("WebStatus", have_file ? saved[0] : "no");
  }
  if (have_file && registry.GetValue("FirstPageInfo") == kUpdateBanner &&
      registry.GetValue("FirstPageInfoSeverity") == kUpdateBannerSeverity) {
    registry.SetValue("FirstPageInfo", saved[1]);
    registry.SetValue("FirstPageInfoSeverity", saved[2]);
  }
  std::remove(state_file.c_str());
}

void UpdateSavedState::WriteFile() {
  const std::string temporary = state_file_ + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Escape(web_status_) << '\n'
        << Escape(first_page_info_) << '\n'
        << Escape(first_page_info_severity_) << '\n';
    out.flush();
    if (!out) return;
  }
  std::rename(temporary.c_str(), state_file_.c_str());
}

void UpdateSavedState::SaveAndSetBanner() {
  Settings& registry = settings_;
  {
    MutexLock lock(mutex_);
    web_status_ = registry.GetValue("WebStatus");
    first_page_info_ = registry.GetValue("FirstPageInfo");
    first_page_info_severity_ = registry.GetValue("FirstPageInfoSeverity");
    WriteFile();
  }
  registry.SetValue("FirstPageInfo", kUpdateBanner);
  registry.SetValue("FirstPageInfoSeverity", kUpdateBannerSeverity);
}

void UpdateSavedState::SaveWebStatusForLock() {
  Settings& registry = settings_;
  {
    MutexLock lock(mutex_);
    web_status_ = registry.GetValue("WebStatus");
    WriteFile();
  }
  registry.SetValue("WebStatus", kWebStatusUpdating);
}

void UpdateSavedState::Restore(bool restore_web_status) {
  Settings& registry = settings_;
  MutexLock lock(mutex_);
  if (restore_web_status) registry.SetValue("WebStatus", web_status_);
  registry.SetValue("FirstPageInfo", first_page_info_);
  registry.SetValue("FirstPageInfoSeverity", first_page_info_severity_);
  std::remove(state_file_.c_str());
}

}  // namespace tellwen::indexer
