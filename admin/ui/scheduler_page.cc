#include "admin/ui/scheduler_page.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "admin/ui/work_item_dialog.h"
#include "base/user_messages.h"

namespace tellwen::admin {

SchedulerPage::SchedulerPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent),
      services_(services),
      service_status_(StatusLabel("serviceStatus")),
      hint_(Named<QWidget>("serviceHint")) {
  auto* hint_text = new QLabel(kServiceHint);
  hint_text->setWordWrap(true);
  auto* hint_layout = new QHBoxLayout(hint_);
  hint_layout->setContentsMargins(0, 0, 0, 0);
  hint_layout->addWidget(new QLabel("Hint:"), 0, Qt::AlignTop);
  hint_layout->addWidget(hint_text, 1);

  auto* service = new QGroupBox("Task Scheduler service");
  auto* service_layout = new QVBoxLayout(service);
  service_layout->addWidget(service_status_);
  service_layout->addWidget(hint_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(service);
  layout->addWidget(JobGroup("Network scan", "scan", "&Setup", kScanJob, &scan_last_run_));
  layout->addWidget(JobGroup("Database update", "update", "S&etup", kUpdateJob, &update_last_run_));
  layout->addStretch(1);
}

QWidget* SchedulerPage::JobGroup(const char* title, const char* name, const char* setup_text,
                                 const WorkItemJob& job, QLabel** last_run) {
  const std::string prefix = name;
  *last_run = Named<QLabel>((prefix + "LastRun").c_str(), "N/A");
  auto* setup = Named<QPushButton>(
      (std::string("setup") + (prefix == "scan" ? "Scan" : "Update")).c_str(), setup_text);
  auto* run = Named<QPushButton>(
      (std::string("run") + (prefix == "scan" ? "Scan" : "Update")).c_str(), "Run");
  auto* group = new QGroupBox(title);
  auto* row = new QHBoxLayout(group);
  row->addWidget(new QLabel("Last run time: "));
  row->addWidget(*last_run, 1);
  row->addWidget(setup);
  row->addWidget(run);
  connect(setup, &QPushButton::clicked, this, [this, &job] { Setup(job); });
  connect(run, &QPushButton::clicked, this, [this, &job] { Run(job); });
  return group;
}

void SchedulerPage::Load() {
  const ServiceStatus status = services_.service_status();
  service_status_->setText(Q(status.text));
  Tint(service_status_, status.running);
  hint_->setVisible(!status.running);
  scan_last_run_->setText(Q(services_.settings.GetValue(kScanJob.last_run_setting)));
  update_last_run_->setText(Q(services_.settings.GetValue(kUpdateJob.last_run_setting)));
}

void SchedulerPage::Setup(const WorkItemJob& job) {
  std::string application = services_.settings.GetValue("KIVInstallPathExes");
  application += kIndexerProgram;
  WorkItem item;
  Status opened = OpenWorkItem(services_.crontab, job, application, &item);
  if (!opened.ok()) {
    ShowMessage(opened.message(), MessageIcon::kError);
    return;
  }
  WorkItemDialog dialog(services_.crontab, job, item, this);
  dialog.exec();
}

void SchedulerPage::Run(const WorkItemJob& job) {
  if (!AskYesNo(job.run_question)) return;
  // The indexer reports for itself; only a start that did not happen at all
  // is said here, so that a press never passes silently.
  Status started = services_.start_program(services_.settings.GetValue("KIVInstallPathExes"),
                                           kIndexerProgram, {job.parameters});
  if (!started.ok()) ShowMessage(started.message(), MessageIcon::kError);
}

}  // namespace tellwen::admin
