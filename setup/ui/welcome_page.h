// Page 0: the welcome note.
//
// Thread safety: the window thread only.
#pragma once

#include <QWizardPage>

namespace tellwen::setup {

class WelcomePage : public QWizardPage {
  Q_OBJECT

 public:
  explicit WelcomePage(QWidget* parent = nullptr);
};

}  // namespace tellwen::setup
