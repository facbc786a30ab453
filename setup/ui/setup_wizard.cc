#include "setup/ui/setup_wizard.h"

#include <QAbstractButton>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>

#include "setup/ui/database_page.h"
#include "setup/ui/finish_page.h"
#include "setup/ui/tasks_page.h"
#include "setup/ui/web_page.h"
#include "setup/ui/welcome_page.h"

namespace tellwen::setup {
namespace {

// The strip on the left of every page.
QPixmap Strip() {
  QPixmap strip(140, 380);
  QPainter painter(&strip);
  QLinearGradient gradient(0, 0, 0, strip.height());
  gradient.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
  gradient.setColorAt(1, QColor(0x6f, 0xa8, 0xdc));
  painter.fillRect(strip.rect(), gradient);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPointSize(18);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(0, 24, strip.width(), 40), Qt::AlignHCenter, "Tellwen");
  font.setPointSize(10);
  font.setBold(false);
  painter.setFont(font);
  painter.drawText(QRect(0, 60, strip.width(), 24), Qt::AlignHCenter, "Setup");
  return strip;
}

}  // namespace

SetupWizard::SetupWizard(SetupServices& services, QWidget* parent)
    : QWizard(parent), services_(services) {
  setObjectName("setupWizard");
  setWindowTitle("Tellwen Setup");
  setWizardStyle(QWizard::ClassicStyle);
  setPixmap(QWizard::WatermarkPixmap, Strip());
  setOption(QWizard::NoBackButtonOnStartPage, true);
  setOption(QWizard::HaveCustomButton1, true);
  setButtonText(QWizard::BackButton, "< &Back");
  setButtonText(QWizard::NextButton, "&Next >");
  setButtonText(QWizard::FinishButton, "Finish");
  setButtonText(QWizard::CancelButton, "Cancel");
  setButtonText(QWizard::CustomButton1, "&About Setup...");
  button(QWizard::BackButton)->setObjectName("back");
  button(QWizard::NextButton)->setObjectName("next");
  button(QWizard::FinishButton)->setObjectName("finish");
  button(QWizard::CancelButton)->setObjectName("cancel");
  button(QWizard::CustomButton1)->setObjectName("about");
  setButtonLayout({QWizard::CustomButton1, QWizard::Stretch, QWizard::BackButton,
                   QWizard::NextButton, QWizard::FinishButton, QWizard::CancelButton});
  connect(this, &QWizard::customButtonClicked, this, [this](int which) {
    if (which == QWizard::CustomButton1) ShowAbout();
  });

  auto* web = new WebPage(services_, this);
  tasks_ = new TasksPage(services_, state_, this);
  finish_ = new FinishPage(services_, state_, this);
  setPage(kWelcomePage, new WelcomePage(this));
  setPage(kWebPage, web);
  setPage(kDatabasePage, new DatabasePage(services_, state_, *web, this));
  setPage(kTasksPage, tasks_);
  setPage(kFinishPage, finish_);
  setStartId(kWelcomePage);
}

void SetupWizard::accept() {
  if (!state_.failed) {
    ApplyFinishOptions(finish_->Options(), services_.settings, services_.paths, services_.starter);
  }
  QWizard::accept();
}

void SetupWizard::ShowAbout() {
  QMessageBox about(QMessageBox::Information, "About Setup", "Tellwen\nSetup Version 1.0",
                    QMessageBox::Ok, this);
  about.setObjectName("aboutBox");
  about.exec();
}

}  // namespace tellwen::setup
