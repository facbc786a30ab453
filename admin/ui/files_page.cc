#include "admin/ui/files_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/core/page_values.h"
#include "admin/ui/widgets.h"
#include "base/folder_path.h"

namespace tellwen::admin {

FilesPage::FilesPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent), services_(services) {
  auto* folders = new QGroupBox("Folders");
  auto* folders_grid = new QGridLayout(folders);
  log_folder_ = AddPathRow(folders_grid, 0, "Log folder: ", "logFolder", true);
  temporary_folder_ = AddPathRow(folders_grid, 1, "Temporary folder: ", "temporaryFolder", true);

  auto* reports = new QGroupBox("Reports");
  auto* reports_grid = new QGridLayout(reports);
  detailed_report_ = AddPathRow(reports_grid, 0, "Detailed report: ", "detailedReport", false);
  short_report_ = AddPathRow(reports_grid, 1, "Short report: ", "shortReport", false);
  split_daily_ = Named<QCheckBox>("splitShortDaily", "Split short report per day");
  reports_grid->addWidget(split_daily_, 2, 1, 1, 2);

  auto* suggestions = new QGroupBox("Suggestions");
  auto* suggestions_grid = new QGridLayout(suggestions);
  suggestions_file_ =
      AddPathRow(suggestions_grid, 0, "Suggestion file: ", "suggestionsFile", false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(folders);
  layout->addWidget(reports);
  layout->addWidget(suggestions);
  layout->addStretch(1);
  Watch(split_daily_);
}

QLineEdit* FilesPage::AddPathRow(QGridLayout* grid, int row, const char* label, const char* name,
                                 bool folder) {
  auto* edit = Named<QLineEdit>(name);
  auto* browse = Named<QPushButton>((std::string(name) + "Browse").c_str(), "...");
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("...") + 24);
  grid->addWidget(new QLabel(label), row, 0);
  grid->addWidget(edit, row, 1);
  grid->addWidget(browse, row, 2);
  Watch(edit);
  connect(browse, &QPushButton::clicked, this, [this, edit, folder] {
    std::optional<std::string> chosen =
        folder ? services_.picker.PickFolder(this, kSelectDirectoryTitle, S(edit->text()))
               : services_.picker.PickOpenFile(this, kWhichFileTitle, kWhichFileFilter,
                                               S(edit->text()));
    if (chosen) edit->setText(Q(folder ? WithFinalSlash(*chosen) : *chosen));
  });
  return edit;
}

void FilesPage::Load() {
  const FilesValues values = LoadFilesValues(services_.settings);
  ShowTexts(Boxes(), values);
  split_daily_->setChecked(values.split_short_report_daily);
}

void FilesPage::Store() {
  FilesValues values;
  ReadTexts(Boxes(), &values);
  values.split_short_report_daily = split_daily_->isChecked();
  StoreFilesValues(services_.settings, values);
}

std::array<TextBox<FilesValues>, 5> FilesPage::Boxes() const {
  return {{{log_folder_, &FilesValues::log_folder},
           {temporary_folder_, &FilesValues::temporary_folder},
           {detailed_report_, &FilesValues::detailed_report},
           {short_report_, &FilesValues::short_report},
           {suggestions_file_, &FilesValues::suggestions_file}}};
}

}  // namespace tellwen::admin
