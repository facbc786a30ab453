#include "setup/ui/web_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/folder_path.h"
#include "base/user_messages.h"
#include "setup/core/web_folders.h"

namespace tellwen::setup {

WebPage::WebPage(SetupServices& services, QWidget* parent)
    : QWizardPage(parent), services_(services) {
  setObjectName("webPage");
  setTitle("Web application");
  auto* text = new QLabel(
      "Setup creates a user for the web application, installs the web files into\n"
      "the web root folder and the application engine into the scripts folder.",
      this);
  auto* account = new QLineEdit(QString::fromStdString(services_.paths.account), this);
  account->setObjectName("account");
  account->setReadOnly(true);
  root_ = new QLineEdit(this);
  root_->setObjectName("root");
  scripts_ = new QLineEdit(this);
  scripts_->setObjectName("scripts");
  auto* root_browse = new QPushButton("...", this);
  root_browse->setObjectName("rootBrowse");
  auto* scripts_browse = new QPushButton("...", this);
  scripts_browse->setObjectName("scriptsBrowse");
  for (QPushButton* button : {root_browse, scripts_browse}) button->setFixedWidth(32);
  connect(root_browse, &QPushButton::clicked, this, [this] { Browse(root_); });
  connect(scripts_browse, &QPushButton::clicked, this, [this] { Browse(scripts_); });

  auto* layout = new QGridLayout(this);
  layout->addWidget(text, 0, 0, 1, 3);
  layout->addWidget(new QLabel("Create the following user:", this), 1, 0);
  layout->addWidget(account, 1, 1);
  layout->addWidget(new QLabel("Web root folder:", this), 2, 0);
  layout->addWidget(root_, 2, 1);
  layout->addWidget(root_browse, 2, 2);
  layout->addWidget(new QLabel("Scripts folder:", this), 3, 0);
  layout->addWidget(scripts_, 3, 1);
  layout->addWidget(scripts_browse, 3, 2);
  layout->setRowStretch(4, 1);
}

void WebPage::initializePage() {
  if (looked_up_) return;  // the user's edits stay when coming back
  looked_up_ = true;
  const WebFolders folders = DetectWebFolders(services_.paths.web_config);
  root_->setText(QString::fromStdString(folders.root));
  scripts_->setText(QString::fromStdString(folders.scripts));
  if (!folders.warning.empty()) ShowMessage(folders.warning, MessageIcon::kWarning);
}

QString WebPage::root() const { return root_->text(); }
QString WebPage::scripts() const { return scripts_->text(); }

void WebPage::Browse(QLineEdit* edit) {
  const auto chosen =
      services_.picker.PickFolder(this, "Select directory...", edit->text().toStdString());
  if (chosen) edit->setText(QString::fromStdString(WithFinalSlash(*chosen)));
}

}  // namespace tellwen::setup
