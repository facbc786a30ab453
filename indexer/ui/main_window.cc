#include "indexer/ui/main_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <cstdio>

#include "base/user_messages.h"
#include "indexer/core/job_display.h"
#include "indexer/ui/program_icon.h"
#include "platform/desktop/about_box.h"

namespace tellwen::indexer {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

MainWindow::MainWindow(IndexJob& job, MainWindowOptions options, QWidget* parent)
    : QDialog(parent), job_(job), options_(std::move(options)) {
  setObjectName("indexerWindow");
  setWindowTitle("Tellwen Indexer");
  setWindowIcon(IndexerIcon());
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);
  job_.LoadSettings();

  workers_ = new QTreeWidget;
  workers_->setObjectName("workers");
  workers_->setRootIsDecorated(false);
  workers_->setSelectionMode(QAbstractItemView::NoSelection);
  workers_->setHeaderLabels({"id", " resource"});
  workers_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  const int count = job_.settings().thread_count;
  for (int i = 0; i < count; ++i) {
    auto* item = new QTreeWidgetItem(workers_);
    item->setText(0, QString("%1").arg(i + 1, 2, 10, QChar('0')));
  }
  // The thread rows reset: every worker "idle".
  job_.status().ResetWorkerRows(count);
  CopyWorkerRows();

  auto* grid = new QGridLayout;
  threads_busy_ = AddValue(grid, 0, 0, "threads:", "threadsBusy");
  thread_count_ = AddValue(grid, 0, 2, nullptr, "threadCount");
  computers_done_ = AddValue(grid, 1, 0, "computers:", "computersDone");
  computers_queued_ = AddValue(grid, 1, 2, nullptr, "computersQueued");
  files_dumped_ = AddValue(grid, 2, 0, "files:", "filesDumped");
  files_found_ = AddValue(grid, 2, 2, nullptr, "filesFound");
  elapsed_ = AddValue(grid, 3, 0, "time:", "elapsed");
  projected_ = AddValue(grid, 3, 2, nullptr, "projected");
  computers_queued_->setText("0 (-0)");
  elapsed_->setText("00:00:00");
  projected_->setText("00:00:00");
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);

  search_state_ = new QLabel("no searching");
  search_state_->setObjectName("searchState");
  scan_state_ = new QLabel("no scanning");
  scan_state_->setObjectName("scanState");
  dump_state_ = new QLabel("no dumping");
  dump_state_->setObjectName("dumpState");
  progress_ = new QProgressBar;
  progress_->setObjectName("progress");
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);
  progress_->setValue(0);

  start_ = new QPushButton(kStartButtonText);
  start_->setObjectName("startButton");
  start_->setDefault(true);
  update_ = new QPushButton("UpdateDB");
  update_->setObjectName("updateButton");
  auto* about = new QPushButton("&About");
  about->setObjectName("aboutButton");
  exit_ = new QPushButton("E&xit");
  exit_->setObjectName("exitButton");
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {start_, update_, about, exit_}) buttons->addWidget(button);
  buttons->addStretch(1);

  auto* figures = new QVBoxLayout;
  figures->addLayout(grid);
  figures->addWidget(search_state_);
  figures->addWidget(scan_state_);
  figures->addWidget(dump_state_);
  figures->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(workers_, 3);
  top->addLayout(figures, 2);
  top->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addWidget(progress_);
  resize(640, 300);

  connect(start_, &QPushButton::clicked, this, &MainWindow::StartOrStop);
  connect(update_, &QPushButton::clicked, this, [this] {
    if (options_.run_update) options_.run_update();
  });
  connect(about, &QPushButton::clicked, this, &MainWindow::ShowAbout);
  connect(exit_, &QPushButton::clicked, this, &MainWindow::reject);

  // The system menu's entry: the window's context menu on this desktop.
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  auto* about_entry = new QAction("&About Tellwen Indexer...", this);
  about_entry->setObjectName("actionAboutEntry");
  connect(about_entry, &QAction::triggered, this, &MainWindow::ShowAbout);
  addAction(separator);
  addAction(about_entry);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &MainWindow::Tick);
  if (options_.index_run) {
    setWindowState(Qt::WindowMinimized);
    QTimer::singleShot(0, this, &MainWindow::StartOrStop);
  }
}

QLabel* MainWindow::AddValue(QGridLayout* grid, int row, int column, const char* text,
                             const char* name) {
  if (text != nullptr) grid->addWidget(new QLabel(text), row, column);
  auto* value = new QLabel("0");
  value->setObjectName(name);
  grid->addWidget(value, row, column + 1);
  return value;
}

void MainWindow::StartOrStop() {
  if (job_.Running()) {
    if (job_.StopRequested()) return;
    if (!AskYesNo(kStopQuestion, MessageIcon::kQuestion)) return;
    if (!job_.Running()) return;  // ended while the question was up
    job_.RequestStop();
    ApplyButtons();
    return;
  }
  if (job_.Start(options_.index_run) != StartResult::kStarted) {
    if (options_.index_run) {
      close_at_end_ = true;
      closing_ = true;
      done(QDialog::Rejected);
    }
    return;
  }
  found_shown_ = 0;
  found_tip_.clear();
  search_state_->setToolTip(found_tip_);
  CopyWorkerRows();
  ApplyButtons();
  timer_->start(options_.tick_ms);
  Refresh();
}

void MainWindow::Tick() {
  const bool ended = job_.HandleEndIfIdle();
  Refresh();
  if (!ended) return;
  timer_->stop();
  a_job_ended_ = true;
  ApplyButtons();
  exit_code_ = job_.ExitCode();
  if (options_.index_run || close_at_end_) {
    closing_ = true;
    done(QDialog::Accepted);
  }
}

void MainWindow::StopAndClose() {
  close_at_end_ = true;
  if (job_.Running()) {
    job_.RequestStop();
    ApplyButtons();
  } else {
    closing_ = true;
    done(QDialog::Rejected);
  }
}

void MainWindow::Refresh() {
  const JobFigures f = indexer::Refresh(job_.status(), std::chrono::steady_clock::now(), true);
  threads_busy_->setText(Q(f.threads_busy));
  thread_count_->setText(Q(f.thread_count));
  computers_done_->setText(Q(f.computers_done));
  computers_queued_->setText(Q(f.computers_queued_skipped));
  files_dumped_->setText(Q(f.entries_dumped));
  files_found_->setText(Q(f.files_found));
  elapsed_->setText(Q(f.elapsed));
  projected_->setText(Q(f.projected));
  search_state_->setText(Q(f.search_state));
  scan_state_->setText(Q(f.scan_state));
  dump_state_->setText(Q(f.dump_state));
  progress_->setRange(0, f.progress_range);
  progress_->setValue(f.progress_position);
  CopyWorkerRows();
  CopyFoundComputers();
}

void MainWindow::CopyFoundComputers() {
  const std::vector<std::string> lines = job_.status().FoundComputers(found_shown_);
  if (lines.empty()) return;
  if (found_tip_.isEmpty()) found_tip_ = "Found by the network search:";
  for (const std::string& line : lines) found_tip_ += "\n" + Q(line);
  found_shown_ += lines.size();
  search_state_->setToolTip(found_tip_);
}

void MainWindow::CopyWorkerRows() {
  const std::vector<std::string> texts = job_.status().WorkerTexts();
  for (size_t i = 0; i < texts.size(); ++i) {
    QTreeWidgetItem* item = workers_->topLevelItem(static_cast<int>(i));
    if (item == nullptr) break;
    const QString text = Q(texts[i]);
    if (item->text(1) != text) item->setText(1, text);
  }
}

void MainWindow::ApplyButtons() {
  const WindowButtons buttons = ButtonsFor(job_.Running(), job_.StopRequested(), a_job_ended_);
  start_->setText(Q(buttons.start_text));
  start_->setEnabled(buttons.start_enabled);
  update_->setEnabled(buttons.update_enabled);
  exit_->setEnabled(buttons.exit_enabled);
}

void MainWindow::ShowAbout() {
  desktop::ShowAboutBox(this, "About Tellwen Indexer", "Tellwen Indexer v1.0", IndexerIcon());
}

bool MainWindow::MayClose() {
  if (closing_) return true;
  const std::string refusal = CloseRefusal(job_.Running(), job_.StopRequested());
  if (refusal.empty()) return true;
  ShowMessage(refusal, MessageIcon::kInformation);
  return false;
}

void MainWindow::reject() {
  if (MayClose()) QDialog::reject();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (MayClose()) {
    QDialog::closeEvent(event);
  } else {
    event->ignore();
  }
}

}  // namespace tellwen::indexer
