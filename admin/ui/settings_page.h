// SettingsPage: one page of KIVAdmin's property sheet. A page loads its
// settings when it is first shown (Reload again on "&Reset"), writes them
// when applied, and reports every edit by the user through `changed` (never
// while it loads). A page never shown is never written.
//
// Thread safety: the window thread only.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tellwen::admin {

class SettingsPage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // Loads the page unless it has been loaded.
  void LoadOnce();
  // Loads the page from the store (discarding edits).
  void Reload();
  // Writes the page when it has been loaded.
  void Apply();
  bool loaded() const { return loaded_; }

 signals:
  void changed();

 protected:
  virtual void Load() = 0;
  virtual void Store() = 0;

  // Emits `changed` unless the page is loading.
  void MarkChanged();
  void Watch(QLineEdit* edit);
  void Watch(QCheckBox* box);
  void Watch(QComboBox* box);

 private:
  bool loaded_ = false;
  bool loading_ = false;
};

// A page whose body another part of the program fills (its title stands in
// the sheet); it loads and stores nothing.
class EmptyPage : public SettingsPage {
  Q_OBJECT

 public:
  using SettingsPage::SettingsPage;

 protected:
  void Load() override {}
  void Store() override {}
};

}  // namespace tellwen::admin
