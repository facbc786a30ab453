#include "platform/desktop/file_picker.h"

#include <QFileDialog>

#include "platform/desktop/file_filter.h"

namespace tellwen::desktop {
namespace {

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

// QFileDialog::getOpenFileName or getSaveFileName.
using FileDialogCall = QString (*)(QWidget*, const QString&, const QString&, const QString&,
                                   QString*, QFileDialog::Options);

std::optional<std::string> PickFile(FileDialogCall call, QWidget* parent, const std::string& title,
                                    const std::string& list_filter, const std::string& start) {
  return Chosen(call(parent, QString::fromStdString(title), QString::fromStdString(start),
                     QString::fromStdString(QtFileFilter(list_filter)), nullptr, {}));
}

}  // namespace

std::optional<std::string> QtFilePicker::PickFolder(QWidget* parent, const std::string& title,
                                                    const std::string& start) {
  return Chosen(QFileDialog::getExistingDirectory(parent, QString::fromStdString(title),
                                                  QString::fromStdString(start)));
}

std::optional<std::string> QtFilePicker::PickOpenFile(QWidget* parent, const std::string& title,
                                                      const std::string& list_filter,
                                                      const std::string& start) {
  return PickFile(&QFileDialog::getOpenFileName, parent, title, list_filter, start);
}

std::optional<std::string> QtFilePicker::PickSaveFile(QWidget* parent, const std::string& title,
                                                      const std::string& list_filter,
                                                      const std::string& start) {
  return PickFile(&QFileDialog::getSaveFileName, parent, title, list_filter, start);
}

FilePicker& MachineFilePicker() {
  static QtFilePicker picker;
  return picker;
}

}  // namespace tellwen::desktop
