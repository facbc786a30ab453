// Page 2: the database settings. Opens with the stored values (the password
// unscrambled, shown masked); "&Test connection" tests the values as typed.
// Leaving it with Next stores the four values and takes both folders of the
// web page, each with its final "/".
//
// Thread safety: the window thread only.
#pragma once

#include <QWizardPage>

#include "setup/ui/setup_services.h"

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
  QLineEdit* server_;
  QLineEdit* database_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLabel* test_status_;
  QLabel* test_detail_;
  bool loaded_ = false;
};

}  // namespace tellwen::setup
