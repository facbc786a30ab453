#include "admin/core/indexer_options.h"

#include "base/int_text.h"

namespace tellwen::admin {

int ThreadsToStore(const std::string& typed) {
  const int threads = LeadingInt(typed);
  return threads >= 1 && threads <= 25 ? threads : 15;
}

int LevelsToStore(int level_button) {
  return level_button >= 0 && level_button < kLevelButtons ? level_button : 2;
}

IndexerOptions LoadIndexerOptions(Settings& settings) {
  IndexerOptions options;
  const int levels = settings.GetIntValue("Levels");
  options.level_button = levels >= 0 && levels < kLevelButtons ? levels : kNoLevelChecked;
  options.threads = std::to_string(settings.GetIntValue("NumberOfThreads"));
  const int priority = settings.GetIntValue("IndexerScanPriority");
  options.priority =
      priority >= 0 && priority < static_cast<int>(kPriorityNames.size()) ? priority : -1;
  return options;
}

void StoreIndexerOptions(Settings& settings, const IndexerOptions& options) {
  settings.SetValue("IndexerScanPriority",
                    std::to_string(options.priority < 0 ? 1 : options.priority));
  settings.SetValue("Levels", std::to_string(LevelsToStore(options.level_button)));
  settings.SetValue("NumberOfThreads", std::to_string(ThreadsToStore(options.threads)));
}

}  // namespace tellwen::admin
