#include "admin/ui/indexer_options_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "admin/core/indexer_options.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {

IndexerOptionsDialog::IndexerOptionsDialog(Settings& settings, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      levels_(new QButtonGroup(this)),
      threads_(Named<QComboBox>("threads")),
      priority_(Named<QComboBox>("priority")) {
  setWindowTitle("Indexer options");
  setObjectName("indexerOptionsDialog");

  auto* levels_box = new QGroupBox("Scan levels");
  auto* levels_grid = new QGridLayout(levels_box);
  for (int i = 0; i < kLevelButtons; ++i) {
    auto* button = Named<QRadioButton>(("level" + std::to_string(i)).c_str(), kLevelLabels[i]);
    levels_->addButton(button, i);
    levels_grid->addWidget(button, i % 3, i / 3);
  }

  auto* threads_box = new QGroupBox("Indexing threads");
  auto* threads_form = new QFormLayout(threads_box);
  threads_->setEditable(true);
  for (const char* choice : kThreadChoices) threads_->addItem(choice);
  for (const char* name : kPriorityNames) priority_->addItem(name);
  threads_form->addRow("Number:", threads_);
  threads_form->addRow("Priority:", priority_);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* columns = new QHBoxLayout;
  columns->addWidget(levels_box);
  columns->addWidget(threads_box);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(buttons);

  const IndexerOptions options = LoadIndexerOptions(settings_);
  if (options.level_button != kNoLevelChecked)
    levels_->button(options.level_button)->setChecked(true);
  threads_->setCurrentText(Q(options.threads));
  priority_->setCurrentIndex(options.priority);
}

void IndexerOptionsDialog::accept() {
  IndexerOptions options;
  options.level_button = levels_->checkedId();  // -1 when none is checked
  options.threads = S(threads_->currentText());
  options.priority = priority_->currentIndex();
  if (options.priority == kTimeCriticalPriority &&
      !AskYesNo(kTimeCriticalQuestion, MessageIcon::kQuestion)) {
    return;
  }
  StoreIndexerOptions(settings_, options);
  QDialog::accept();
}

}  // namespace tellwen::admin
