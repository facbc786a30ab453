// FilePicker: the folder and file choosers of the programs' pages, behind
// one interface so that tests answer them without a real dialog.
// QtFilePicker shows Qt's dialogs; filters are given in the programs' list
// form (platform/desktop/file_filter.h).
//
// Thread safety: the window thread only.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tellwen::desktop {

class FilePicker {
 public:
  virtual ~FilePicker() = default;
  // The chosen folder, or nullopt when the chooser was cancelled.
  virtual std::optional<std::string> PickFolder(QWidget* parent, const std::string& title,
                                                const std::string& start) = 0;
  // An existing file to open.
  virtual std::optional<std::string> PickOpenFile(QWidget* parent, const std::string& title,
                                                  const std::string& list_filter,
                                                  const std::string& start) = 0;
  // A file name to write to.
  virtual std::optional<std::string> PickSaveFile(QWidget* parent, const std::string& title,
                                                  const std::string& list_filter,
                                                  const std::string& start) = 0;
};

class QtFilePicker : public FilePicker {
 public:
  std::optional<std::string> PickFolder(QWidget* parent, const std::string& title,
                                        const std::string& start) override;
  std::optional<std::string> PickOpenFile(QWidget* parent, const std::string& title,
                                          const std::string& list_filter,
                                          const std::string& start) override;
  std::optional<std::string> PickSaveFile(QWidget* parent, const std::string& title,
                                          const std::string& list_filter,
                                          const std::string& start) override;
};

// A process-wide QtFilePicker.
FilePicker& MachineFilePicker();

}  // namespace tellwen::desktop
