#include "admin/ui/work_item_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {
namespace {

// The kind list's rows, in ScheduleKind order.
constexpr const char* kKindNames[] = {
    "Once", "Daily", "Weekly", "Monthly", "Every N minutes", "Every N hours", "Cron expression"};
// Monday first, as the week is read; the bit is cron's day number.
constexpr int kWeekOrder[] = {1, 2, 3, 4, 5, 6, 0};
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

}  // namespace

WorkItemDialog::WorkItemDialog(const scheduler::CrontabProgram& crontab, const WorkItemJob& job,
                               const WorkItem& item, QWidget* parent)
    : QDialog(parent),
      crontab_(crontab),
      job_(job),
      original_(item),
      sheet_(Named<QTabWidget>("workItemSheet")),
      application_(Named<QLineEdit>("application")),
      parameters_(Named<QLineEdit>("parameters")),
      account_(Named<QLineEdit>("account")),
      enabled_(Named<QCheckBox>("enabled", "Enabled (scheduled task runs at specified time)")),
      kind_(Named<QComboBox>("scheduleKind")),
      time_(Named<QTimeEdit>("startTime")),
      date_(Named<QDateEdit>("startDate")),
      weekdays_box_(Named<QWidget>("weekdays")),
      day_(Named<QSpinBox>("dayOfMonth")),
      every_(Named<QSpinBox>("every")),
      expression_(Named<QLineEdit>("expression")),
      cron_line_(Named<QLabel>("cronLine")) {
  setWindowTitle(job.caption);
  setObjectName("workItemDialog");
  sheet_->addTab(TaskPage(), "Task");
  sheet_->addTab(SchedulePage(), "Schedule");
  QDialogButtonBox* buttons = OkCancelButtons(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sheet_, 1);
  layout->addWidget(buttons);

  Show(item);
  sheet_->setCurrentIndex(1);
  resize(480, 360);
}

QWidget* WorkItemDialog::TaskPage() {
  auto* page = Named<QWidget>("taskPage");
  account_->setReadOnly(true);
  auto* form = new QFormLayout(page);
  form->addRow("Run:", application_);
  form->addRow("Parameters:", parameters_);
  form->addRow("Run as:", account_);
  form->addRow(enabled_);
  for (QLineEdit* edit : {application_, parameters_}) {
    connect(edit, &QLineEdit::textChanged, this, &WorkItemDialog::ShowCronLine);
  }
  connect(enabled_, &QCheckBox::toggled, this, &WorkItemDialog::ShowCronLine);
  return page;
}

QWidget* WorkItemDialog::SchedulePage() {
  auto* page = Named<QWidget>("schedulePage");
  for (const char* name : kKindNames) kind_->addItem(name);
  time_->setDisplayFormat("HH:mm");
  date_->setDisplayFormat("yyyy-MM-dd");
  date_->setCalendarPopup(true);
  auto* days = new QHBoxLayout(weekdays_box_);
  days->setContentsMargins(0, 0, 0, 0);
  for (int d : kWeekOrder) {
    weekdays_[static_cast<size_t>(d)] =
        Named<QCheckBox>((std::string("day") + kDayNames[d]).c_str(), kDayNames[d]);
    days->addWidget(weekdays_[static_cast<size_t>(d)]);
    connect(weekdays_[static_cast<size_t>(d)], &QCheckBox::toggled, this,
            &WorkItemDialog::ShowCronLine);
  }
  day_->setRange(1, 31);
  every_->setRange(1, 59);
  expression_->setPlaceholderText("minute hour day-of-month month day-of-week");
  cron_line_->setWordWrap(true);
  cron_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  form_ = new QFormLayout(page);
  form_->addRow("Schedule task:", kind_);
  form_->addRow("Start time:", time_);
  form_->addRow("Date:", date_);
  form_->addRow("Days:", weekdays_box_);
  form_->addRow("Day of the month:", day_);
  form_->addRow("Every:", every_);
  form_->addRow("Cron expression:", expression_);
  form_->addRow("Cron line:", cron_line_);

  connect(kind_, &QComboBox::currentIndexChanged, this, &WorkItemDialog::KindChosen);
  connect(time_, &QTimeEdit::timeChanged, this, &WorkItemDialog::ShowCronLine);
  connect(date_, &QDateEdit::dateChanged, this, &WorkItemDialog::ShowCronLine);
  connect(day_, &QSpinBox::valueChanged, this, &WorkItemDialog::ShowCronLine);
  connect(every_, &QSpinBox::valueChanged, this, &WorkItemDialog::ShowCronLine);
  connect(expression_, &QLineEdit::textChanged, this, &WorkItemDialog::ShowCronLine);
  return page;
}

void WorkItemDialog::Show(const WorkItem& item) {
  application_->setText(Q(item.application));
  parameters_->setText(Q(item.parameters));
  account_->setText(Q(item.account));
  enabled_->setChecked(item.enabled);
  const Schedule& s = item.schedule;
  time_->setTime(QTime(s.hour, s.minute));
  QDate date = QDate::currentDate();
  if (s.kind == ScheduleKind::kOnce) date = QDate(s.year, s.month, s.day);
  date_->setDate(date);
  for (int d = 0; d < 7; ++d) weekdays_[static_cast<size_t>(d)]->setChecked(s.weekdays & (1u << d));
  day_->setValue(s.day);
  every_->setValue(s.every);
  std::string error;
  expression_->setText(Q(
      s.kind == ScheduleKind::kExpression ? s.expression : CronExpression(s, &error).value_or("")));
  kind_->setCurrentIndex(static_cast<int>(s.kind));
  KindChosen();
}

void WorkItemDialog::KindChosen() {
  const auto kind = static_cast<ScheduleKind>(kind_->currentIndex());
  const bool timed = kind != ScheduleKind::kEveryMinutes && kind != ScheduleKind::kExpression;
  form_->setRowVisible(time_, timed);
  form_->setRowVisible(date_, kind == ScheduleKind::kOnce);
  form_->setRowVisible(weekdays_box_, kind == ScheduleKind::kWeekly);
  form_->setRowVisible(day_, kind == ScheduleKind::kMonthly);
  const bool every = kind == ScheduleKind::kEveryMinutes || kind == ScheduleKind::kEveryHours;
  form_->setRowVisible(every_, every);
  every_->setSuffix(kind == ScheduleKind::kEveryHours ? " hours" : " minutes");
  every_->setMaximum(kind == ScheduleKind::kEveryHours ? 23 : 59);
  form_->setRowVisible(expression_, kind == ScheduleKind::kExpression);
  ShowCronLine();
}

WorkItem WorkItemDialog::Item() const {
  WorkItem item = original_;
  item.application = S(application_->text());
  item.parameters = S(parameters_->text());
  item.enabled = enabled_->isChecked();
  Schedule s;
  s.kind = static_cast<ScheduleKind>(kind_->currentIndex());
  s.hour = time_->time().hour();
  s.minute = time_->time().minute();
  if (s.kind == ScheduleKind::kOnce) {
    s.day = date_->date().day();
    s.month = date_->date().month();
    s.year = date_->date().year();
  } else if (s.kind == ScheduleKind::kMonthly) {
    s.day = day_->value();
  }
  if (s.kind == ScheduleKind::kWeekly) {
    for (int d = 0; d < 7; ++d) {
      if (weekdays_[static_cast<size_t>(d)]->isChecked()) s.weekdays |= 1u << d;
    }
  }
  if (s.kind == ScheduleKind::kEveryMinutes || s.kind == ScheduleKind::kEveryHours) {
    s.every = every_->value();
  }
  if (s.kind == ScheduleKind::kExpression) s.expression = S(expression_->text());
  item.schedule = s;
  return item;
}

void WorkItemDialog::ShowCronLine() {
  if (form_ == nullptr) return;
  std::string error;
  std::optional<std::string> line = JobLine(Item(), &error);
  cron_line_->setText(line ? Q(*line) : Q("(" + error + ")"));
}

void WorkItemDialog::accept() {
  Status saved = SaveWorkItem(crontab_, job_, Item());
  if (!saved.ok()) {
    ShowMessage(saved.message(), MessageIcon::kError);
    return;
  }
  QDialog::accept();
}

}  // namespace tellwen::admin
