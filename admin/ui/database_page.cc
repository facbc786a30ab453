#include "admin/ui/database_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::admin {

DatabasePage::DatabasePage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent),
      services_(services),
      engine_(Named<QComboBox>("engine")),
      server_(Named<QLineEdit>("server")),
      database_(Named<QLineEdit>("database")),
      user_(Named<QLineEdit>("user")),
      password_(Named<QLineEdit>("password")),
      connection_timeout_(DigitsEdit("connectionTimeout")),
      command_timeout_(DigitsEdit("commandTimeout")),
      defaults_(Named<QPushButton>("defaults", "&Defaults")),
      test_(Named<QPushButton>("test", "&Test")),
      status_testing_(Named<QLabel>("statusTesting")),
      status_wait_(Named<QLabel>("statusWait")) {
  password_->setEchoMode(QLineEdit::Password);
  engine_->addItems({kEngineEmbedded, kEnginePostgresql});

  auto* connection = new QGroupBox("Connection");
  auto* connection_form = new QFormLayout(connection);
  connection_form->addRow("Engine: ", engine_);
  connection_form->addRow("Server: ", server_);
  connection_form->addRow("Database: ", database_);
  connection_form->addRow("User: ", user_);
  connection_form->addRow("Password: ", password_);

  auto* timeouts = new QGroupBox("Timeouts (seconds)");
  auto* timeouts_row = new QHBoxLayout(timeouts);
  auto* timeouts_form = new QFormLayout;
  timeouts_form->addRow("Connection: ", connection_timeout_);
  timeouts_form->addRow("Command: ", command_timeout_);
  timeouts_row->addLayout(timeouts_form);
  timeouts_row->addWidget(defaults_, 0, Qt::AlignBottom);

  auto* test_row = new QHBoxLayout;
  test_row->addWidget(test_);
  test_row->addLayout(desktop::ColumnOf({status_testing_, status_wait_}), 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(connection);
  layout->addWidget(timeouts);
  layout->addLayout(test_row);
  layout->addStretch(1);

  for (QLineEdit* edit :
       {server_, database_, user_, password_, connection_timeout_, command_timeout_}) {
    Watch(edit);
  }
  Watch(engine_);
  connect(defaults_, &QPushButton::clicked, this, [this] {
    DatabaseValues values = Typed();
    PutDefaultTimeouts(services_.settings, &values);
    connection_timeout_->setText(Q(values.connection_timeout));
    command_timeout_->setText(Q(values.command_timeout));
  });
  connect(test_, &QPushButton::clicked, this, &DatabasePage::StartTest);
}

DatabasePage::~DatabasePage() {
  if (test_thread_.joinable()) test_thread_.join();
}

void DatabasePage::Load() {
  const DatabaseValues values = LoadDatabaseValues(services_.settings);
  ShowTexts(Boxes(), values);
  engine_->setCurrentText(Q(values.engine));
}

void DatabasePage::Store() { StoreDatabaseValues(services_.settings, Typed()); }

std::array<TextBox<DatabaseValues>, 6> DatabasePage::Boxes() const {
  return {{{server_, &DatabaseValues::server},
           {database_, &DatabaseValues::database},
           {user_, &DatabaseValues::user},
           {password_, &DatabaseValues::password},
           {connection_timeout_, &DatabaseValues::connection_timeout},
           {command_timeout_, &DatabaseValues::command_timeout}}};
}

DatabaseValues DatabasePage::Typed() const {
  DatabaseValues values;
  ReadTexts(Boxes(), &values);
  values.engine = engine_->currentText().toStdString();
  return values;
}

void DatabasePage::StartTest() {
  if (test_thread_.joinable()) test_thread_.join();  // the previous one has ended
  status_testing_->setText(kTestingConnection);
  status_wait_->setText(kPleaseWait);
  test_->setEnabled(false);
  const DatabaseValues values = Typed();
  ConnectionOpener opener = services_.open_connection;
  test_thread_ = std::thread([this, values, opener] {
    const ConnectionTestResult result = RunConnectionTest(values, opener);
    QMetaObject::invokeMethod(
        this, [this, result] { FinishTest(result); }, Qt::QueuedConnection);
  });
}

void DatabasePage::FinishTest(const ConnectionTestResult& result) {
  ShowMessage(result.text, result.icon);
  status_testing_->clear();
  status_wait_->clear();
  test_->setEnabled(true);
  emit testFinished(result.passed);
}

}  // namespace tellwen::admin
