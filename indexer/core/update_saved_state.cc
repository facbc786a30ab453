#include "indexer/core/update_saved_state.h"

#include <utility>

namespace tellwen::indexer {

UpdateSavedState::UpdateSavedState(std::string state_folder, Settings& settings)
    : state_folder_(std::move(state_folder)), settings_(settings) {}

Status UpdateSavedState::SaveAndSetBanner() {
  Settings& registry = settings_;
  {
    MutexLock lock(mutex_);
    saved_.web_status = registry.GetValue("WebStatus");
    saved_.first_page_info = registry.GetValue("FirstPageInfo");
    saved_.first_page_info_severity = registry.GetValue("FirstPageInfoSeverity");
    Status written = WriteUpdateStateFile(state_folder_, saved_);
    if (!written.ok()) return written;
  }
  registry.SetValue("FirstPageInfo", kUpdateBanner);
  registry.SetValue("FirstPageInfoSeverity", kUpdateBannerSeverity);
  return Status::Ok();
}

void UpdateSavedState::SaveWebStatusForLock() {
  Settings& registry = settings_;
  {
    MutexLock lock(mutex_);
    saved_.web_status = registry.GetValue("WebStatus");
    // When this write fails the file of SaveAndSetBanner stays, with WebStatus
    // as the job found it: still a value to put back.
    WriteUpdateStateFile(state_folder_, saved_);
  }
  registry.SetValue("WebStatus", kWebStatusUpdating);
}

void UpdateSavedState::Restore(bool restore_web_status) {
  Settings& registry = settings_;
  MutexLock lock(mutex_);
  if (restore_web_status) registry.SetValue("WebStatus", saved_.web_status);
  registry.SetValue("FirstPageInfo", saved_.first_page_info);
  registry.SetValue("FirstPageInfoSeverity", saved_.first_page_info_severity);
  RemoveUpdateStateFile(state_folder_);
}

}  // namespace tellwen::indexer
