#include "setup/ui/finish_page.h"

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/desktop/program_launcher.h"
#include "platform/isapi/web_config.h"
#include "setup/core/web_folders.h"

namespace tellwen::setup {
namespace {

const char* const kFailedText =
    "An error has occured during setup.\n"
    "You can click \"Back\" to make necessary adjustments.\n\n"
    "Also please check the following before to continue:\n"
    "- Make sure you had administrator privileges on the local computer\n"
    "- Make sure your local IIS web server is up and running\n"
    "- Make sure you properly configure root and scripts folder\n"
    "- Make sure the database you enter exists, the user you enter had full\n"
    "  privileges on it and the user's password is correct\n";

}  // namespace

FinishPage::FinishPage(SetupServices& services, WizardState& state, QWidget* parent)
    : QWizardPage(parent), services_(services), state_(state) {
  setObjectName("finishPage");
  setTitle("Finish");
  result_ = new QLabel(this);
  result_->setObjectName("result");
  QFont bold = result_->font();
  bold.setBold(true);
  result_->setFont(bold);
  text_ = new QLabel(this);
  text_->setObjectName("text");
  link_ = new QLabel(this);
  link_->setObjectName("link");
  link_->setTextFormat(Qt::RichText);
  connect(link_, &QLabel::linkActivated, this,
          [](const QString& link) { desktop::OpenLink(link.toStdString()); });
  auto box = [this](const char* name, const char* text) {
    auto* check = new QCheckBox(text, this);
    check->setObjectName(name);
    return check;
  };
  autoload_ = box("autoloadMonitor", "Run KIVMonitor at computer startup");
  launch_ = box("launchMonitor", "Launch KIVMonitor after I press finish");
  service_ = box("startService", "Start Tellwen service after I press finish");
  indexing_ = box("startIndexing", "Start network indexing after I press finish");
  auto* layout = new QVBoxLayout(this);
  for (QWidget* widget : std::initializer_list<QWidget*>{result_, text_, link_, autoload_, launch_,
                                                         service_, indexing_}) {
    layout->addWidget(widget);
  }
  layout->addStretch();
}

void FinishPage::initializePage() {
  const bool success = !state_.failed;
  if (success) {
    isapi::WebConfig config;
    const int port =
        isapi::LoadWebConfig(services_.paths.web_config, &config).ok() ? config.listen_port : 80;
    const QString address = QString::fromStdString(SiteAddress(services_.host, port));
    result_->setText("Tellwen Setup has successfully installed.");
    text_->setText(
        "You can access Tellwen service entering the following\naddress in your web "
        "browser:");
    link_->setText("<a href=\"" + address.toHtmlEscaped() + "\">" + address.toHtmlEscaped() +
                   "</a>");
  } else {
    result_->setText("Tellwen Setup has failed.");
    text_->setText(kFailedText);
  }
  for (QWidget* widget :
       std::initializer_list<QWidget*>{link_, autoload_, launch_, service_, indexing_}) {
    widget->setVisible(success);
  }
  for (QCheckBox* check : {autoload_, launch_, service_, indexing_}) check->setChecked(true);
}

FinishOptions FinishPage::Options() const {
  return {autoload_->isChecked(), launch_->isChecked(), service_->isChecked(),
          indexing_->isChecked()};
}

}  // namespace tellwen::setup
