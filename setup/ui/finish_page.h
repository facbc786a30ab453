// Page 4: the result. After a failed run: "Tellwen Setup has failed." and
// what to check, without the address and the options. After success: the
// site's address as a link and the four finish options, all checked.
//
// Thread safety: the window thread only.
#pragma once

#include <QWizardPage>

#include "setup/core/finish_options.h"
#include "setup/ui/setup_services.h"

class QCheckBox;
class QLabel;

namespace tellwen::setup {

class FinishPage : public QWizardPage {
  Q_OBJECT

 public:
  FinishPage(SetupServices& services, WizardState& state, QWidget* parent = nullptr);

  void initializePage() override;
  FinishOptions Options() const;

 private:
  SetupServices& services_;
  WizardState& state_;
  QLabel* result_;
  QLabel* text_;
  QLabel* link_;
  QCheckBox* autoload_;
  QCheckBox* launch_;
  QCheckBox* service_;
  QCheckBox* indexing_;
};

}  // namespace tellwen::setup
