// "Edit First Page Info": the message shown on the site's first page
// (FirstPageInfo, "N/A" for none) and its severity (FirstPageInfoSeverity:
// "high", "medium" or "low"), with "Erase message". OK writes both; Cancel
// writes nothing.
//
// Thread safety: the window thread only.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPlainTextEdit>

#include "common/settings.h"

namespace tellwen::admin {

class FirstPageInfoDialog : public QDialog {
  Q_OBJECT

 public:
  FirstPageInfoDialog(Settings& settings, QWidget* parent = nullptr);

  void accept() override;

 private:
  void Erase();

  Settings& settings_;
  QPlainTextEdit* message_;
  QComboBox* severity_;
};

}  // namespace tellwen::admin
