// The Database page (CPageDb): the engine, the connection settings and the two
// timeouts, "&Defaults" for the timeouts, and "&Test", which opens a
// connection with the values as typed on a thread of its own while the
// window keeps painting; the result is shown when it arrives.
//
// Thread safety: the window thread only; the test thread touches no widget
// and is joined before the page goes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <thread>

#include "admin/core/database_settings.h"
#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"
#include "admin/ui/widgets.h"

namespace tellwen::admin {

class DatabasePage : public SettingsPage {
  Q_OBJECT

 public:
  DatabasePage(AdminServices& services, QWidget* parent = nullptr);
  ~DatabasePage() override;

 signals:
  // The test ended and its box has been shown.
  void testFinished(bool passed);

 protected:
  void Load() override;
  void Store() override;

 private:
  // Each box with the value it shows.
  std::array<TextBox<DatabaseValues>, 6> Boxes() const;
  DatabaseValues Typed() const;
  void StartTest();
  void FinishTest(const ConnectionTestResult& result);

  AdminServices& services_;
  QComboBox* engine_;  // SqlEngine: "embedded" or "postgresql"
  QLineEdit* server_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* connection_timeout_;
  QLineEdit* command_timeout_;
  QPushButton* defaults_;
  QPushButton* test_;
  QLabel* status_testing_;
  QLabel* status_wait_;
  std::thread test_thread_;
};

}  // namespace tellwen::admin
