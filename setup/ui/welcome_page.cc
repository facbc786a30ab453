#include "setup/ui/welcome_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tellwen::setup {

WelcomePage::WelcomePage(QWidget* parent) : QWizardPage(parent) {
  setObjectName("welcomePage");
  setTitle("Welcome to Tellwen Setup");
  auto* note = new QLabel(
      "This program installs the Tellwen search site on this server: the web\n"
      "application and its files, the web account, and the database.\n\n"
      "Before to continue make sure your Internet Information Server (IIS) is\n"
      "up and running and you know the server, database name, user and\n"
      "password of a local MS SQL Server database in order to be used by\n"
      "Tellwen.",
      this);
  note->setObjectName("note");
  note->setWordWrap(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addStretch();
}

}  // namespace tellwen::setup
