#include "setup/ui/database_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "setup/ui/web_page.h"

namespace tellwen::setup {

DatabasePage::DatabasePage(SetupServices& services, WizardState& state, const WebPage& web,
                           QWidget* parent)
    : QWizardPage(parent), services_(services), state_(state), web_(web) {
  setObjectName("databasePage");
  setTitle("Database");
  auto edit = [this](const char* name) {
    auto* line = new QLineEdit(this);
    line->setObjectName(name);
    return line;
  };
  engine_ = new QComboBox(this);
  engine_->setObjectName("engine");
  engine_->addItems({kEngineEmbedded, kEnginePostgresql});
  server_ = edit("server");
  database_ = edit("database");
  user_ = edit("user");
  password_ = edit("password");
  password_->setEchoMode(QLineEdit::Password);
  auto* test = new QPushButton("&Test connection", this);
  test->setObjectName("testConnection");
  test_status_ = new QLabel(this);
  test_status_->setObjectName("testStatus");
  test_detail_ = new QLabel(this);
  test_detail_->setObjectName("testDetail");
  test_detail_->setWordWrap(true);
  connect(test, &QPushButton::clicked, this, &DatabasePage::TestConnection);

  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel("Database settings:", this), 0, 0, 1, 2);
  layout->addWidget(new QLabel("Engine: ", this), 1, 0);
  layout->addWidget(engine_, 1, 1);
  layout->addWidget(new QLabel("Server: ", this), 2, 0);
  layout->addWidget(server_, 2, 1);
  layout->addWidget(new QLabel("Database: ", this), 3, 0);
  layout->addWidget(database_, 3, 1);
  layout->addWidget(new QLabel("User: ", this), 4, 0);
  layout->addWidget(user_, 4, 1);
  layout->addWidget(new QLabel("Password: ", this), 5, 0);
  layout->addWidget(password_, 5, 1);
  layout->addWidget(test, 6, 0);
  layout->addWidget(test_status_, 6, 1);
  layout->addWidget(test_detail_, 7, 0, 1, 2);
  layout->setRowStretch(8, 1);
  layout->addWidget(new QLabel("Click \"Next\" to begin setup", this), 9, 0, 1, 2);
}

void DatabasePage::initializePage() {
  if (loaded_) return;  // coming back keeps what was typed
  loaded_ = true;
  const SqlConnectionSettings stored = ReadConnectionSettings(services_.settings);
  engine_->setCurrentText(QString::fromStdString(stored.engine));
  server_->setText(QString::fromStdString(stored.server));
  database_->setText(QString::fromStdString(stored.database));
  user_->setText(QString::fromStdString(stored.user));
  password_->setText(QString::fromStdString(stored.password));
}

SqlConnectionSettings DatabasePage::Typed() const {
  return {server_->text().toStdString(), database_->text().toStdString(),
          user_->text().toStdString(), password_->text().toStdString(),
          engine_->currentText().toStdString()};
}

void DatabasePage::TestConnection() {
  std::string source, description;
  test_status_->setText("Testing the connection...");
  test_detail_->clear();
  repaint();
  if (services_.database.Test(Typed(), &source, &description)) {
    test_status_->setText("The connection works.");
  } else {
    test_status_->setText("The connection failed.");
    test_detail_->setText(QString::fromStdString(description));
  }
}

bool DatabasePage::validatePage() {
  state_.values = ConfirmValues(services_.settings, web_.root().toStdString(),
                                web_.scripts().toStdString(), Typed());
  return true;
}

}  // namespace tellwen::setup
