// Page 1: the web application. Shows the account setup creates and the two
// folders, found in the web server's configuration the first time the page
// opens (a warning box names what could not be found and the default used).
//
// Thread safety: the window thread only.
#pragma once

#include <QWizardPage>

#include "setup/ui/setup_services.h"

class QLineEdit;

namespace tellwen::setup {

class WebPage : public QWizardPage {
  Q_OBJECT

 public:
  WebPage(SetupServices& services, QWidget* parent = nullptr);

  void initializePage() override;
  QString root() const;
  QString scripts() const;

 private:
  void Browse(QLineEdit* edit);

  SetupServices& services_;
  QLineEdit* root_;
  QLineEdit* scripts_;
  bool looked_up_ = false;
};

}  // namespace tellwen::setup
