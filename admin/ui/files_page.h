// The Files page (CPageFiles): the log and temporary folders, the report
// files, "Split short report per day" and the suggestion file. The "..."
// buttons open the folder chooser ("Select directory...", the folder put in
// with a trailing "/") or the file chooser ("Which file?").
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <array>

#include "admin/core/page_values.h"
#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"
#include "admin/ui/widgets.h"

class QGridLayout;

namespace tellwen::admin {

class FilesPage : public SettingsPage {
  Q_OBJECT

 public:
  FilesPage(AdminServices& services, QWidget* parent = nullptr);

 protected:
  void Load() override;
  void Store() override;

 private:
  // Each folder and file box with the value it shows.
  std::array<TextBox<FilesValues>, 5> Boxes() const;
  QLineEdit* AddPathRow(QGridLayout* grid, int row, const char* label, const char* name,
                        bool folder);

  AdminServices& services_;
  QLineEdit* log_folder_;
  QLineEdit* temporary_folder_;
  QLineEdit* detailed_report_;
  QLineEdit* short_report_;
  QCheckBox* split_daily_;
  QLineEdit* suggestions_file_;
};

}  // namespace tellwen::admin
