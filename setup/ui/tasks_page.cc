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
    : QWizardPage(parent), services_(services), state_(state), run_(services.tasks) {
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

// The run's destructor waits for a task under way: it may be copying.
TasksPage::~TasksPage() = default;

void TasksPage::initializePage() {
  if (running()) return;
  if (!state_.database_offered) {
    state_.database_offered = true;
    const auto offer = DatabaseOffer(services_.database, state_.values.database);
    if (offer && services_.ask_create_database(*offer, this)) {
      services_.database.Create(state_.values.database);  // a failure shows in task 5
    }
  }
  state_.failed = false;
  for (int task = 1; task <= kTaskCount; ++task) status_[task]->clear();
  running_ = true;
  shown_ = 0;
  run_.Start(state_.values);
  status_[1]->setText(QString(kTaskRunning) + kMarks[0]);
  timer_->start();
  emit completeChanged();
  QTimer::singleShot(0, this, &TasksPage::HoldButtons);
}

bool TasksPage::isComplete() const { return !running(); }

void TasksPage::HoldButtons() {
  if (!running() || wizard() == nullptr) return;
  if (QAbstractButton* back = wizard()->button(QWizard::BackButton)) back->setEnabled(false);
}

void TasksPage::Poll() {
  if (!running()) return;
  HoldButtons();
  const SetupRun::Progress progress = run_.progress();
  while (shown_ < kTaskCount && progress.results[shown_ + 1].has_value()) {
    ++shown_;
    const std::string& error = *progress.results[shown_];
    status_[shown_]->setText(error.empty() ? kTaskDone : QString::fromStdString(error));
    status_[shown_]->setCursorPosition(0);
  }
  if (!progress.finished) {
    turn_ = (turn_ + 1) % 4;
    if (progress.running > 0) {
      status_[progress.running]->setText(QString(kTaskRunning) + kMarks[turn_]);
    }
    return;
  }
  run_.Wait();
  state_.failed = progress.failed;
  running_ = false;
  timer_->stop();
  if (wizard() != nullptr) {
    if (QAbstractButton* back = wizard()->button(QWizard::BackButton)) back->setEnabled(true);
  }
  emit completeChanged();
}

}  // namespace tellwen::setup
