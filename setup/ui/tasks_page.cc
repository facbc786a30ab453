#include "setup/ui/tasks_page.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWizard>

#include "base/user_messages.h"

namespace tellwen::setup {
namespace {

const char* const kMarks[] = {"\\", "|", "/", "--"};

}  // namespace

TasksPage::TasksPage(SetupServices& services, WizardState& state, QWidget* parent)
    : QWizardPage(parent), services_(services), state_(state) {
  setObjectName("tasksPage");
  setTitle("Tasks");
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel("Tellwen setup will perform the following tasks:", this), 0, 0, 1,
                    2);
  for (int task = 1; task <= kTaskCount; ++task) {
    status_[task] = new QLineEdit(this);
    status_[task]->setObjectName(QString("task%1").arg(task));
    status_[task]->setReadOnly(true);
    layout->addWidget(new QLabel(TaskTitle(task), this), task, 0);
    layout->addWidget(status_[task], task, 1);
  }
  layout->setRowStretch(kTaskCount + 1, 1);
  layout->setColumnStretch(1, 1);
  timer_ = new QTimer(this);
  timer_->setInterval(100);
  connect(timer_, &QTimer::timeout, this, &TasksPage::Poll);
}

TasksPage::~TasksPage() {
  // A task under way finishes before the page goes (it may be copying).
  if (thread_.joinable()) thread_.join();
}

void TasksPage::initializePage() {
  if (running()) return;
  if (!state_.database_offered) {
    state_.database_offered = true;
    const std::string offer = DatabaseOffer(services_.database, state_.values.database);
    if (!offer.empty() && AskYesNo(offer, MessageIcon::kQuestion)) {
      services_.database.Create(state_.values.database);  // a failure shows in task 5
    }
  }
  state_.failed = false;
  for (int task = 1; task <= kTaskCount; ++task) status_[task]->clear();
  StartTask(1);
  timer_->start();
  QTimer::singleShot(0, this, &TasksPage::HoldButtons);
}

bool TasksPage::isComplete() const { return !running(); }

void TasksPage::StartTask(int task) {
  current_ = task;
  run_ = std::make_shared<Run>();
  status_[task]->setText(QString(kTaskRunning) + kMarks[0]);
  std::shared_ptr<Run> run = run_;
  TaskRunner& tasks = services_.tasks;
  const SetupValues values = state_.values;
  thread_ = std::thread([run, &tasks, values, task] {
    run->error = tasks.Run(task, values);
    run->done.store(true, std::memory_order_release);
  });
  emit completeChanged();
}

void TasksPage::HoldButtons() {
  if (!running() || wizard() == nullptr) return;
  if (QAbstractButton* back = wizard()->button(QWizard::BackButton)) back->setEnabled(false);
}

void TasksPage::Poll() {
  if (!running()) return;
  HoldButtons();
  if (!run_->done.load(std::memory_order_acquire)) {
    turn_ = (turn_ + 1) % 4;
    status_[current_]->setText(QString(kTaskRunning) + kMarks[turn_]);
    return;
  }
  thread_.join();
  const std::string& error = run_->error;
  status_[current_]->setText(error.empty() ? kTaskDone : QString::fromStdString(error));
  status_[current_]->setCursorPosition(0);
  if (!error.empty()) state_.failed = true;
  if (current_ < kTaskCount) {
    StartTask(current_ + 1);
    return;
  }
  current_ = 0;
  timer_->stop();
  if (wizard() != nullptr) {
    if (QAbstractButton* back = wizard()->button(QWizard::BackButton)) back->setEnabled(true);
  }
  emit completeChanged();
}

}  // namespace tellwen::setup
