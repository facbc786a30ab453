#include "monitor/ui/monitor_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <chrono>

#include "base/user_messages.h"
#include "monitor/core/overall_progress.h"
#include "monitor/core/ping_settings.h"
#include "monitor/ui/program_icon.h"
#include "platform/desktop/about_box.h"

namespace tellwen::monitor {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

MonitorWindow::MonitorWindow(MonitorWindowServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
  setObjectName("monitorWindow");
  setWindowTitle("KIV Monitor");
  setWindowIcon(MonitorIcon());
  setWindowFlag(Qt::WindowMinimizeButtonHint, true);

  auto* group = new QGroupBox("Ping");
  auto* grid = new QGridLayout(group);
  computers_ = AddPair(grid, 0, "Computers number:", "computersNumber");
  interval_ = AddPair(grid, 1, "Ping interval (ms):", "pingInterval");
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setObjectName("intervalSlider");
  slider_->setRange(0, 10);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setValue(services_.worker->state().slider_position.load());
  grid->addWidget(slider_, 2, 0, 1, 2);
  status_ = AddPair(grid, 3, "Status:", "status");
  last_computer_ = AddPair(grid, 4, "Last computer:", "lastComputer");
  last_status_ = AddPair(grid, 5, "Last computer's status:", "lastComputerStatus");
  round_time_ = AddPair(grid, 6, "Last round trip time:", "lastRoundTime");
  percent_ = AddPair(grid, 7, "Overall:", "overallPercent");
  bar_ = new QProgressBar;
  bar_->setObjectName("overallBar");
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  grid->addWidget(bar_, 8, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  pause_ = new QPushButton("Pause");
  pause_->setObjectName("pauseButton");
  start_minimized_ = new QCheckBox("Start minimized");
  start_minimized_->setObjectName("startMinimized");
  start_minimized_->setChecked(services_.settings->GetValue("MonitorStartMinimized") == "1");
  auto* controls = new QHBoxLayout;
  controls->addWidget(pause_);
  controls->addStretch(1);
  controls->addWidget(start_minimized_);
  grid->addLayout(controls, 9, 0, 1, 2);

  menu_ = new QMenu(this);
  menu_->setObjectName("trayMenu");
  auto add = [this](const char* text, const char* name, auto slot) {
    QAction* action = menu_->addAction(text);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, slot);
  };
  auto launch = [this](const char* program, std::vector<std::string> args) {
    return [this, program, args] {
      if (services_.launch) services_.launch(program, args);
    };
  };
  add("Launch &administrator", "actionAdministrator", launch("KIVAdmin", {}));
  add("&Index network now", "actionIndex", launch("KIVIndexer", {"/index"}));
  add("&Update database now", "actionUpdate", launch("KIVIndexer", {"/updatedb"}));
  menu_->addSeparator();
  add("&Restore", "actionRestore", [this] { RestoreWindow(); });
  add("&About", "actionAbout", [this] { ShowAbout(); });
  menu_->addSeparator();
  add("E&xit", "actionExit", [this] { AskExit(); });

  auto* hide = new QPushButton("Hide");
  hide->setObjectName("hideButton");
  hide->setDefault(true);
  auto* about = new QPushButton("About");
  about->setObjectName("aboutButton");
  auto* exit = new QPushButton("Exit");
  exit->setObjectName("exitButton");
  auto* buttons = new QHBoxLayout;
  if (!services_.use_tray) {
    auto* menu_button = new QPushButton("&Menu");
    menu_button->setObjectName("menuButton");
    menu_button->setMenu(menu_);
    buttons->addWidget(menu_button);
  }
  buttons->addStretch(1);
  buttons->addWidget(hide);
  buttons->addWidget(about);
  buttons->addWidget(exit);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(buttons);
  setMinimumWidth(340);

  connect(pause_, &QPushButton::clicked, this, &MonitorWindow::TogglePause);
  connect(start_minimized_, &QCheckBox::clicked, this, [this](bool checked) {
    services_.settings->SetValue("MonitorStartMinimized", checked ? "1" : "0");
  });
  connect(hide, &QPushButton::clicked, this, &MonitorWindow::HideWindow);
  connect(about, &QPushButton::clicked, this, &MonitorWindow::ShowAbout);
  connect(exit, &QPushButton::clicked, this, &MonitorWindow::AskExit);

  // The system menu's entry: the window's context menu on this desktop.
  auto* about_entry = new QAction("&About Tellwen Monitor...", this);
  about_entry->setObjectName("actionAboutEntry");
  connect(about_entry, &QAction::triggered, this, &MonitorWindow::ShowAbout);
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  addAction(separator);
  addAction(about_entry);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  if (services_.use_tray) {
    tray_ = new QSystemTrayIcon(MonitorIcon(), this);
    tray_->setObjectName("trayIcon");
    tray_->setToolTip("Tellwen Monitor");
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
      if (r == QSystemTrayIcon::Trigger) RestoreWindow();
    });
    tray_->show();
  }

  start_timer_ = new QTimer(this);
  start_timer_->setSingleShot(true);
  connect(start_timer_, &QTimer::timeout, this, [this] {
    worker_ended_ = false;
    services_.worker->Start();
  });
  start_timer_->start(services_.start_delay_ms);
  refresh_timer_ = new QTimer(this);
  connect(refresh_timer_, &QTimer::timeout, this, &MonitorWindow::Refresh);
  refresh_timer_->start(services_.refresh_ms);

  if (start_minimized_->isChecked()) QTimer::singleShot(0, this, &MonitorWindow::HideWindow);
}

MonitorWindow::~MonitorWindow() = default;

QLabel* MonitorWindow::AddPair(QGridLayout* grid, int row, const char* caption, const char* name) {
  auto* value = new QLabel(kNotAvailable);
  value->setObjectName(name);
  grid->addWidget(new QLabel(caption), row, 0);
  grid->addWidget(value, row, 1);
  return value;
}

void MonitorWindow::Refresh() {
  if (exiting_) return;
  MonitorState& state = services_.worker->state();
  const int position = slider_->value();
  state.slider_position = position;
  const MonitorTexts texts = state.Texts();
  computers_->setText(Q(texts.computers_number));
  // The worker writes its interval text only when it takes its pause; once
  // it runs, the label follows the slider at each refresh.
  interval_->setText(texts.interval == kNotAvailable
                         ? QString(kNotAvailable)
                         : QString::number(PauseMilliseconds(position)));
  status_->setText(Q(texts.status));
  last_computer_->setText(Q(texts.last_computer));
  last_status_->setText(Q(texts.last_computer_status));
  round_time_->setText(Q(texts.last_round_time));
  const OverallProgress overall = OverallFor(state.position.load(), state.computers.load());
  if (overall.update) {
    bar_->setRange(0, overall.maximum);
    bar_->setValue(overall.position);
    percent_->setText(Q(overall.percent));
  }
}

void MonitorWindow::TogglePause() {
  std::atomic<bool>& pause = services_.worker->state().pause;
  pause = !pause.load();
  pause_->setText(pause ? "Resume..." : "Pause");
}

void MonitorWindow::HideWindow() {
  if (tray_ == nullptr) {
    showMinimized();
    return;
  }
  if (!isHidden()) hide();
}

void MonitorWindow::RestoreWindow() {
  if (tray_ == nullptr) {
    showNormal();
  } else if (isHidden() || isMinimized()) {
    showNormal();
  }
  raise();
  activateWindow();
}

void MonitorWindow::ShowAbout() {
  desktop::ShowAboutBox(this, "About Tellwen Monitor", "Tellwen Monitor v1.0", MonitorIcon());
}

bool MonitorWindow::AskExit() {
  if (exiting_) return true;
  if (!AskYesNo(kExitQuestion, MessageIcon::kQuestion)) return false;
  ExitNow();
  return true;
}

void MonitorWindow::ExitNow() {
  if (exiting_) return;
  exiting_ = true;
  WorkerControl& worker = *services_.worker;
  worker.RequestStop();
  start_timer_->stop();
  refresh_timer_->stop();
  if (tray_ != nullptr) tray_->hide();
  worker.state().slider_position = slider_->value();
  worker.SaveSettings();
  worker_ended_ = worker.WaitEnded(std::chrono::milliseconds(services_.exit_wait_ms));
  exited_ = true;
  hide();
  emit exitDone();
}

void MonitorWindow::reject() { HideWindow(); }

void MonitorWindow::closeEvent(QCloseEvent* event) {
  if (exited_) {
    event->accept();
    return;
  }
  event->ignore();
  AskExit();
}

void MonitorWindow::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && tray_ != nullptr && isMinimized()) {
    // Minimizing hides to the tray, not to the task bar.
    QTimer::singleShot(0, this, [this] {
      setWindowState(windowState() & ~Qt::WindowMinimized);
      hide();
    });
  }
}

}  // namespace tellwen::monitor
