#include "admin/ui/main_dialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "admin/ui/about_page.h"
#include "admin/ui/database_page.h"
#include "admin/ui/files_page.h"
#include "admin/ui/misc_page.h"
#include "admin/ui/program_icon.h"
#include "admin/ui/scheduler_page.h"
#include "admin/ui/security_page.h"
#include "admin/ui/web_page.h"
#include "admin/ui/widgets.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::admin {

MainDialog::MainDialog(AdminServices& services, QWidget* parent)
    : QDialog(parent),
      sheet_(Named<QTabWidget>("sheet")),
      apply_(Named<QPushButton>("apply", "&Apply")) {
  setWindowTitle("Tellwen Administrator");
  setObjectName("mainDialog");
  setWindowIcon(ProgramIcon());

  AddPage(new DatabasePage(services), "Database", "databasePage");
  AddPage(new FilesPage(services), "Files", "filesPage");
  AddPage(new MiscPage(services), "Misc", "miscPage");
  AddPage(new SecurityPage(services), "Security", "securityPage");
  AddPage(new WebPage(services), "Web", "webPage");
  AddPage(new SchedulerPage(services), "Scheduler", "schedulerPage");
  AddPage(new AboutPage(services), "About", "aboutPage");

  auto* strip = Named<QLabel>("pictureStrip");
  strip->setFixedWidth(72);
  strip->setScaledContents(true);
  strip->setPixmap(PictureStrip(72, 420));

  auto* reset = Named<QPushButton>("reset", "&Reset");
  auto* ok = Named<QPushButton>("ok", "O&K");
  auto* cancel = Named<QPushButton>("cancel", "&Cancel");
  ok->setDefault(true);
  QHBoxLayout* buttons = desktop::RowOf({reset, nullptr, ok, cancel, apply_});

  auto* right = new QVBoxLayout;
  right->addWidget(sheet_, 1);
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(strip);
  layout->addLayout(right, 1);

  auto* about = new QAction("&About Tellwen Administrator...", this);
  about->setObjectName("aboutAction");
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  apply_->setEnabled(false);
  connect(sheet_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index >= 0) pages_[static_cast<size_t>(index)]->LoadOnce();
  });
  connect(apply_, &QPushButton::clicked, this, &MainDialog::Apply);
  connect(ok, &QPushButton::clicked, this, &MainDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &MainDialog::reject);
  connect(reset, &QPushButton::clicked, this, &MainDialog::Reset);
  connect(about, &QAction::triggered, this, &MainDialog::ShowAbout);
  pages_.front()->LoadOnce();
  resize(600, 470);
}

void MainDialog::AddPage(SettingsPage* page, const char* title, const char* name) {
  page->setObjectName(name);
  pages_.push_back(page);
  sheet_->addTab(page, title);
  connect(page, &SettingsPage::changed, this, [this] { apply_->setEnabled(true); });
}

void MainDialog::Apply() {
  for (SettingsPage* page : pages_) page->Apply();
  apply_->setEnabled(false);
}

void MainDialog::Reset() {
  for (SettingsPage* page : pages_) {
    if (page->loaded()) page->Reload();
  }
  apply_->setEnabled(false);
}

void MainDialog::ShowAbout() { sheet_->setCurrentIndex(static_cast<int>(PageIndex::kAbout)); }

void MainDialog::accept() {
  Apply();
  QDialog::accept();
}

}  // namespace tellwen::admin
