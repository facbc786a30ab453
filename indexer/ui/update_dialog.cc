#include "indexer/ui/update_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::indexer {

UpdateDialog::UpdateDialog(UpdateRunner& runner, bool setup_mode, QWidget* parent)
    : QDialog(parent), runner_(runner), opened_(UpdateClock::now()) {
  setObjectName("updateDialog");
  setWindowTitle(UpdateTitle(setup_mode));
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);

  tasks_ = new QTreeWidget;
  tasks_->setObjectName("tasks");
  tasks_->setRootIsDecorated(false);
  tasks_->setSelectionMode(QAbstractItemView::NoSelection);
  tasks_->setHeaderLabels({"task", "start", "stop", "elapsed", "status"});
  tasks_->header()->setStretchLastSection(false);
  tasks_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < 5; ++column) {
    tasks_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }

  auto* caption = new QLabel("running time:");
  running_time_ = new QLabel(QString::fromStdString(FormatElapsed({})));
  running_time_->setObjectName("runningTime");
  button_ = new QPushButton("Stop");
  button_->setObjectName("stopButton");
  button_->setDefault(true);
  QHBoxLayout* bottom = desktop::RowOf({caption, running_time_, nullptr, button_});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tasks_);
  layout->addLayout(bottom);
  resize(620, 420);

  connect(button_, &QPushButton::clicked, this, &UpdateDialog::ButtonPressed);
  rows_timer_ = new QTimer(this);
  connect(rows_timer_, &QTimer::timeout, this, &UpdateDialog::RefreshRows);
  rows_timer_->start(200);
  time_timer_ = new QTimer(this);
  connect(time_timer_, &QTimer::timeout, this, &UpdateDialog::RefreshTime);
  time_timer_->start(1000);
  end_timer_ = new QTimer(this);
  connect(end_timer_, &QTimer::timeout, this, &UpdateDialog::CheckEnd);
  end_timer_->start(1000);
  RefreshRows();
}

void UpdateDialog::RefreshRows() {
  const uint64_t changes = runner_.Changes();
  if (changes == changes_seen_) return;
  changes_seen_ = changes;
  const std::vector<UpdateTaskRow> rows = runner_.Rows();
  while (tasks_->topLevelItemCount() < static_cast<int>(rows.size())) {
    new QTreeWidgetItem(tasks_);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    QTreeWidgetItem* item = tasks_->topLevelItem(static_cast<int>(i));
    const UpdateTaskRow& row = rows[i];
    int column = 0;
    for (const std::string* cell : {&row.name, &row.start, &row.stop, &row.elapsed, &row.status}) {
      const QString text = QString::fromStdString(*cell);
      if (item->text(column) != text) item->setText(column, text);
      ++column;
    }
  }
}

void UpdateDialog::RefreshTime() {
  if (ended_) return;
  running_time_->setText(QString::fromStdString(FormatElapsed(UpdateClock::now() - opened_)));
}

void UpdateDialog::CheckEnd() {
  if (ended_ || runner_.Running()) return;
  ended_ = true;
  end_timer_->stop();
  time_timer_->stop();
  rows_timer_->stop();
  changes_seen_ = UINT64_MAX;
  RefreshRows();
  button_->setEnabled(true);
  button_->setText("Close");
  button_->setFocus();
  if (runner_.Completed()) {
    succeeded_ = true;
    accept();
  }
}

void UpdateDialog::ButtonPressed() {
  if (ended_) {
    accept();
    return;
  }
  if (runner_.StopRequested()) return;
  if (!AskYesNo(kStopUpdateQuestion, MessageIcon::kQuestion)) return;
  runner_.RequestStop();
  button_->setEnabled(false);
  button_->setText("Stopping...");
}

void UpdateDialog::reject() {
  if (ended_) {
    QDialog::reject();
  } else {
    ButtonPressed();
  }
}

bool DialogUpdateDriver::Drive(UpdateRunner& runner) {
  UpdateDialog dialog(runner, setup_mode_, parent_);
  if (minimized_) dialog.setWindowState(Qt::WindowMinimized);
  runner.Start();
  dialog.exec();
  runner.Wait();
  return dialog.succeeded();
}

}  // namespace tellwen::indexer
