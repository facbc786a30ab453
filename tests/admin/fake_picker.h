// Test support: a FilePicker that answers from a preset instead of showing
// a chooser, and records what it was asked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/file_picker.h"

namespace tellwen::testing {

class FakePicker : public desktop::FilePicker {
 public:
  struct Ask {
    std::string kind;  // "folder", "open", "save"
    std::string title;
    std::string filter;
  };

  std::optional<std::string> PickFolder(QWidget*, const std::string& title,
                                        const std::string&) override {
    asked.push_back({"folder", title, ""});
    return answer;
  }
  std::optional<std::string> PickOpenFile(QWidget*, const std::string& title,
                                          const std::string& filter, const std::string&) override {
    asked.push_back({"open", title, filter});
    return answer;
  }
  std::optional<std::string> PickSaveFile(QWidget*, const std::string& title,
                                          const std::string& filter, const std::string&) override {
    asked.push_back({"save", title, filter});
    return answer;
  }

  std::optional<std::string> answer;
  std::vector<Ask> asked;
};

}  // namespace tellwen::testing
