// The property sheet of one work item, captioned with the job's caption
// ("Tellwen - Schedule Network Scanning", ...), with two pages: "Task"
// (application, parameters, the account whose crontab holds it, enabled)
// and "Schedule" (once, daily, weekly on chosen days, monthly on a day,
// every N minutes or hours, or a cron expression typed by an expert; the
// cron line is shown as text beside it). It opens on "Schedule".
//
// OK checks the item and writes it into the crontab (work_items.h); a
// refusal or a failed write is shown and the sheet stays open with its
// edits. Cancel writes nothing.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <array>

#include "admin/core/work_items.h"

namespace tellwen::admin {

class WorkItemDialog : public QDialog {
  Q_OBJECT

 public:
  WorkItemDialog(const scheduler::CrontabProgram& crontab, const WorkItemJob& job,
                 const WorkItem& item, QWidget* parent = nullptr);

  // The item as the controls hold it.
  WorkItem Item() const;
  void accept() override;

 private:
  QWidget* TaskPage();
  QWidget* SchedulePage();
  void Show(const WorkItem& item);
  void KindChosen();
  void ShowCronLine();

  const scheduler::CrontabProgram& crontab_;
  const WorkItemJob& job_;
  WorkItem original_;
  QTabWidget* sheet_;
  QLineEdit* application_;
  QLineEdit* parameters_;
  QLineEdit* account_;
  QCheckBox* enabled_;
  QComboBox* kind_;
  QFormLayout* form_ = nullptr;
  QTimeEdit* time_;
  QDateEdit* date_;
  QWidget* weekdays_box_;
  std::array<QCheckBox*, 7> weekdays_{};
  QSpinBox* day_;
  QSpinBox* every_;
  QLineEdit* expression_;
  QLabel* cron_line_;
};

}  // namespace tellwen::admin
