#include "admin/ui/misc_page.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "admin/core/page_values.h"
#include "admin/ui/indexer_options_dialog.h"
#include "admin/ui/network_search_dialog.h"
#include "admin/ui/report_dialog.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"
#include "platform/scheduler/autostart.h"

namespace tellwen::admin {

IntervalEditor::IntervalEditor(const QString& name, QWidget* parent)
    : QWidget(parent),
      number_(DigitsEdit((name + "Number").toUtf8().constData())),
      unit_(Named<QComboBox>((name + "Unit").toUtf8().constData())) {
  for (const char* unit : kIntervalUnitNames) unit_->addItem(unit);
  number_->setMaximumWidth(number_->fontMetrics().horizontalAdvance("0000000000") + 12);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(number_);
  layout->addWidget(unit_);
  layout->addStretch(1);
  connect(unit_, &QComboBox::activated, this, &IntervalEditor::UnitChosen);
}

void IntervalEditor::SetInterval(const ShownInterval& interval) {
  number_->setText(Q(interval.number));
  unit_->setCurrentIndex(static_cast<int>(interval.unit));
  number_->setEnabled(interval.unit != IntervalUnit::kInfinite);
}

ShownInterval IntervalEditor::Interval() const {
  return {S(number_->text()), static_cast<IntervalUnit>(unit_->currentIndex())};
}

void IntervalEditor::UnitChosen() {
  const bool infinite = unit_->currentIndex() == static_cast<int>(IntervalUnit::kInfinite);
  number_->setEnabled(!infinite);
  if (!infinite && number_->text().isEmpty()) number_->setText("0");
}

MiscPage::MiscPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent),
      services_(services),
      reindex_(new IntervalEditor("reindex")),
      expire_(new IntervalEditor("expire")),
      short_reports_(Named<QCheckBox>("shortReports", "Generate short reports")),
      detailed_reports_(Named<QCheckBox>("detailedReports", "Generate detailed reports")),
      log_statistics_(Named<QCheckBox>("logStatistics", "Generate log for statistics")),
      ping_timeout_(DigitsEdit("pingTimeout")),
      max_roundtrip_(DigitsEdit("maxRoundtrip")),
      autoload_monitor_(Named<QCheckBox>("autoloadMonitor", "Autoload KIVMonitor")) {
  auto* indexer = new QGroupBox("Indexer");
  auto* indexer_grid = new QGridLayout(indexer);
  indexer_grid->addWidget(new QLabel("Minimum reindex interval:  "), 0, 0);
  indexer_grid->addWidget(reindex_, 0, 1);
  indexer_grid->addWidget(new QLabel("Maximum persistence interval:  "), 1, 0);
  indexer_grid->addWidget(expire_, 1, 1);
  auto* buttons = new QHBoxLayout;
  auto* network = Named<QPushButton>("networkComputers", "Network computers");
  auto* options = Named<QPushButton>("options", "Options");
  auto* report = Named<QPushButton>("configureReport", "Configure report");
  buttons->addWidget(network);
  buttons->addWidget(options);
  buttons->addWidget(report);
  buttons->addStretch(1);
  indexer_grid->addLayout(buttons, 2, 0, 1, 2);

  auto* web = new QGroupBox("Web");
  auto* web_layout = new QVBoxLayout(web);
  web_layout->addWidget(short_reports_);
  web_layout->addWidget(detailed_reports_);
  web_layout->addWidget(log_statistics_);

  const int ping_width = ping_timeout_->fontMetrics().horizontalAdvance("0000000000") + 12;
  ping_timeout_->setFixedWidth(ping_width);
  max_roundtrip_->setFixedWidth(ping_width);
  auto* ping = new QGroupBox("Ping");
  auto* ping_form = new QFormLayout(ping);
  auto* timeout_row = new QHBoxLayout;
  timeout_row->addWidget(ping_timeout_);
  timeout_row->addWidget(new QLabel("ms"));
  timeout_row->addStretch(1);
  auto* roundtrip_row = new QHBoxLayout;
  roundtrip_row->addWidget(max_roundtrip_);
  roundtrip_row->addWidget(new QLabel("mins"));
  roundtrip_row->addStretch(1);
  ping_form->addRow("Timeout:", timeout_row);
  ping_form->addRow("Max roundtrip:", roundtrip_row);

  auto* middle = new QHBoxLayout;
  middle->addWidget(web, 1);
  middle->addWidget(ping, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(indexer);
  layout->addLayout(middle);
  layout->addWidget(autoload_monitor_);
  layout->addStretch(1);

  for (IntervalEditor* editor : {reindex_, expire_}) {
    Watch(editor->number());
    Watch(editor->unit());
  }
  for (QCheckBox* box : {short_reports_, detailed_reports_, log_statistics_}) Watch(box);
  Watch(ping_timeout_);
  Watch(max_roundtrip_);
  Watch(autoload_monitor_);

  desktop::OpenOnClick<NetworkSearchDialog>(network, this, services_.settings);
  desktop::OpenOnClick<IndexerOptionsDialog>(options, this, services_.settings);
  desktop::OpenOnClick<ReportDialog>(report, this, services_.settings, services_.picker);
}

void MiscPage::Load() {
  const MiscValues values = LoadMiscValues(services_.settings);
  reindex_->SetInterval(values.reindex);
  expire_->SetInterval(values.expire);
  short_reports_->setChecked(values.short_reports);
  detailed_reports_->setChecked(values.detailed_reports);
  log_statistics_->setChecked(values.log_for_statistics);
  ping_timeout_->setText(Q(values.ping_timeout));
  max_roundtrip_->setText(Q(values.max_roundtrip));
  autoload_monitor_->setChecked(scheduler::AutostartPresent(services_.autostart_folder));
}

void MiscPage::Store() {
  MiscValues values;
  values.reindex = reindex_->Interval();
  values.expire = expire_->Interval();
  values.short_reports = short_reports_->isChecked();
  values.detailed_reports = detailed_reports_->isChecked();
  values.log_for_statistics = log_statistics_->isChecked();
  values.ping_timeout = S(ping_timeout_->text());
  values.max_roundtrip = S(max_roundtrip_->text());
  StoreMiscValues(services_.settings, values);
  StoreAutoload();
}

void MiscPage::StoreAutoload() {
  const std::string error = scheduler::SetAutoloadMonitor(
      services_.autostart_folder, services_.settings.GetValue("KIVInstallPathExes"),
      autoload_monitor_->isChecked());
  if (!error.empty()) ShowMessage(error, MessageIcon::kError);
}

}  // namespace tellwen::admin
