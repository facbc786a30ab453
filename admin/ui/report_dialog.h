// "Configure report" (opened from the Misc page): whether a scan writes the
// output file, its name ("..." opens the save chooser "Enter name of the
// output file") and its form, with a one-line preview that follows every
// change. The controls other than "Generate report file" are enabled only
// while it is checked. OK refuses an empty name ("Incorect output file
// name", the dialog stays open), otherwise writes the seven values.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "admin/core/report_options.h"
#include "common/settings.h"
#include "platform/desktop/file_picker.h"

namespace tellwen::admin {

class ReportDialog : public QDialog {
  Q_OBJECT

 public:
  ReportDialog(Settings& settings, desktop::FilePicker& picker, QWidget* parent = nullptr);

  void accept() override;

 private:
  ReportOptions Typed() const;
  void Follow();  // enables the controls and redraws the preview

  Settings& settings_;
  desktop::FilePicker& picker_;
  QCheckBox* generate_;
  QLineEdit* output_file_;
  QPushButton* browse_;
  QCheckBox* unix_style_;
  QCheckBox* sorted_;
  QCheckBox* dump_size_;
  QCheckBox* split_share_;
  QCheckBox* split_file_;
  QTableWidget* preview_;
};

}  // namespace tellwen::admin
