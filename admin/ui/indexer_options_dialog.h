// "Indexer options" (opened from the Misc page): scan levels, the number of
// indexing threads and their priority. OK asks before keeping "Time
// critical" ("No" keeps the dialog open and stores nothing), then writes
// IndexerScanPriority, Levels and NumberOfThreads.
//
// Thread safety: the window thread only.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>

#include "common/settings.h"

namespace tellwen::admin {

class IndexerOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  IndexerOptionsDialog(Settings& settings, QWidget* parent = nullptr);

  void accept() override;

 private:
  Settings& settings_;
  QButtonGroup* levels_;
  QComboBox* threads_;
  QComboBox* priority_;
};

}  // namespace tellwen::admin
