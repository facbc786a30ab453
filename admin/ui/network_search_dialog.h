// "Network search" (opened from the Misc page by "Network computers"): the
// include and exclude lists of the indexer, "Search entire network" with one
// check box per source it asks (browse list, WS-Discovery, mDNS), and the
// address-range builder with its two ignore boxes. Every refusal is a
// message box and the dialog stays open; OK writes the five settings and
// the sources', Cancel nothing.
//
// Thread safety: the window thread only.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

#include "admin/core/network_lists.h"
#include "common/settings.h"

namespace tellwen::admin {

class NetworkSearchDialog : public QDialog {
  Q_OBJECT

 public:
  NetworkSearchDialog(Settings& settings, QWidget* parent = nullptr);

  void accept() override;

 private:
  // Adds an entry to list (the shared rule of every add button); clears
  // `clear` on success and gives it the focus in every case.
  void AddEntry(const std::string& text, QListWidget* list, const char* list_name, QLineEdit* clear,
                EntryKind kind);
  void RemoveSelected(QListWidget* list, const char* none_selected);
  void ShowRange(const AddressRange& range);
  Octets From() const;
  void AddRange();

  Settings& settings_;
  QCheckBox* entire_network_;
  QCheckBox* browse_list_;
  QCheckBox* ws_discovery_;
  QCheckBox* mdns_;
  QLineEdit* server_;
  QLineEdit* from_;
  QLineEdit* to_;
  QCheckBox* ignore_zero_;
  QCheckBox* ignore_255_;
  QListWidget* include_;
  QListWidget* exclude_;
  NetworkSearchSettings sources_;  // as read; the interfaces are kept as they are
};

}  // namespace tellwen::admin
