// The Misc page (CPageMisc): the two intervals as number and unit, the
// report and statistics flags, the ping values, and the buttons that open
// "Network search", "Indexer options" and "Configure report" (each writes
// its own settings on its own OK), and "Autoload KIVMonitor": checked while
// the monitor's autostart entry exists; applying writes or removes it.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "admin/core/interval.h"
#include "admin/ui/admin_services.h"
#include "admin/ui/settings_page.h"

namespace tellwen::admin {

// A number box and a unit list for an interval in hours.
class IntervalEditor : public QWidget {
  Q_OBJECT

 public:
  IntervalEditor(const QString& name, QWidget* parent = nullptr);
  void SetInterval(const ShownInterval& interval);
  ShownInterval Interval() const;
  QLineEdit* number() const { return number_; }
  QComboBox* unit() const { return unit_; }

 private:
  void UnitChosen();

  QLineEdit* number_;
  QComboBox* unit_;
};

class MiscPage : public SettingsPage {
  Q_OBJECT

 public:
  MiscPage(AdminServices& services, QWidget* parent = nullptr);

 protected:
  void Load() override;
  void Store() override;

 private:
  void StoreAutoload();

  AdminServices& services_;
  IntervalEditor* reindex_;
  IntervalEditor* expire_;
  QCheckBox* short_reports_;
  QCheckBox* detailed_reports_;
  QCheckBox* log_statistics_;
  QLineEdit* ping_timeout_;
  QLineEdit* max_roundtrip_;
  QCheckBox* autoload_monitor_;
};

}  // namespace tellwen::admin
