// Page 2: the database settings. Opens with the stored values (the engine,
// the password unscrambled and shown masked); "&Test connection" tests the
// values as typed. Leaving it with Next stores the engine and the four values and takes both
// folders of the web page, each with its final "/".
//
// Thread safety: the window thread only.
#pragma once

#include <QWizardPage>

#include "setup/ui/setup_services.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace tellwen::setup {

class WebPage;

class DatabasePage : public QWizardPage {
  Q_OBJECT

 public:
  DatabasePage(SetupServices& services, WizardState& state, const WebPage& web,
               QWidget* parent = nullptr);

  void initializePage() override;
  bool validatePage() override;

 private:
  SqlConnectionSettings Typed() const;
  void TestConnection();

  SetupServices& services_;
  WizardState& state_;
  const WebPage& web_;
  QComboBox* engine_;
  QLineEdit* server_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLabel* test_status_;
  QLabel* test_detail_;
  bool loaded_ = false;
};

}  // namespace tellwen::setup
