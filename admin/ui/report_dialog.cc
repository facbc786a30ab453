#include "admin/ui/report_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "admin/core/page_values.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {

ReportDialog::ReportDialog(Settings& settings, desktop::FilePicker& picker, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      picker_(picker),
      generate_(Named<QCheckBox>("generate", "Generate report file")),
      output_file_(Named<QLineEdit>("outputFile")),
      browse_(Named<QPushButton>("outputFileBrowse", "...")),
      unix_style_(Named<QCheckBox>("unixStyle", "Unix style for file names")),
      sorted_(Named<QCheckBox>("sorted", "Sorted output")),
      dump_size_(Named<QCheckBox>("dumpSize", "Dump file size")),
      split_share_(Named<QCheckBox>("splitShare", "Split between share and directory")),
      split_file_(Named<QCheckBox>("splitFile", "Split between directory and file")),
      preview_(Named<QTableWidget>("preview", 1, 1)) {
  setWindowTitle("Configure report");
  setObjectName("reportDialog");

  browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance("...") + 24);
  preview_->horizontalHeader()->hide();
  preview_->verticalHeader()->hide();
  preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  preview_->setSelectionMode(QAbstractItemView::NoSelection);
  preview_->setFixedHeight(preview_->verticalHeader()->defaultSectionSize() +
                           2 * preview_->frameWidth() + 2);
  preview_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  preview_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* file_row = new QHBoxLayout;
  file_row->addWidget(new QLabel("Output file:"));
  file_row->addWidget(output_file_, 1);
  file_row->addWidget(browse_);

  auto* form = new QGroupBox("Output form");
  auto* grid = new QGridLayout(form);
  grid->addWidget(unix_style_, 0, 0);
  grid->addWidget(sorted_, 1, 0);
  grid->addWidget(dump_size_, 2, 0);
  grid->addWidget(split_share_, 0, 1);
  grid->addWidget(split_file_, 1, 1);
  grid->addWidget(new QLabel("Preview:"), 3, 0, 1, 2);
  grid->addWidget(preview_, 4, 0, 1, 2);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(generate_);
  layout->addLayout(file_row);
  layout->addWidget(form);
  layout->addWidget(buttons);
  setMinimumWidth(520);

  const ReportOptions options = LoadReportOptions(settings_);
  generate_->setChecked(options.generate);
  output_file_->setText(Q(options.output_file));
  unix_style_->setChecked(options.unix_style);
  sorted_->setChecked(options.sorted);
  dump_size_->setChecked(options.dump_size);
  split_share_->setChecked(options.split_share);
  split_file_->setChecked(options.split_file);
  Follow();

  for (QCheckBox* box : {generate_, unix_style_, sorted_, dump_size_, split_share_, split_file_}) {
    connect(box, &QCheckBox::toggled, this, &ReportDialog::Follow);
  }
  connect(browse_, &QPushButton::clicked, this, [this] {
    std::optional<std::string> chosen =
        picker_.PickSaveFile(this, kOutputFileTitle, kOutputFileFilter, S(output_file_->text()));
    if (chosen) output_file_->setText(Q(*chosen));
  });
}

ReportOptions ReportDialog::Typed() const {
  ReportOptions options;
  options.generate = generate_->isChecked();
  options.output_file = S(output_file_->text());
  options.unix_style = unix_style_->isChecked();
  options.sorted = sorted_->isChecked();
  options.dump_size = dump_size_->isChecked();
  options.split_share = split_share_->isChecked();
  options.split_file = split_file_->isChecked();
  return options;
}

void ReportDialog::Follow() {
  const bool on = generate_->isChecked();
  for (QWidget* widget :
       std::initializer_list<QWidget*>{output_file_, browse_, unix_style_, sorted_, dump_size_,
                                       split_share_, split_file_, preview_}) {
    widget->setEnabled(on);
  }
  const std::vector<std::string> columns = ReportPreviewColumns(Typed());
  preview_->setColumnCount(static_cast<int>(columns.size()));
  for (size_t i = 0; i < columns.size(); ++i) {
    preview_->setItem(0, static_cast<int>(i), new QTableWidgetItem(Q(columns[i])));
  }
  preview_->resizeColumnsToContents();
}

void ReportDialog::accept() {
  const ReportOptions options = Typed();
  if (std::optional<std::string> refusal = CheckReportOptions(options)) {
    ShowMessage(*refusal, MessageIcon::kError);
    output_file_->setFocus();
    return;
  }
  StoreReportOptions(settings_, options);
  QDialog::accept();
}

}  // namespace tellwen::admin
