// "Network search" (opened from the Misc page by "Network computers"): the
// include and exclude lists of the indexer, "Search entire network" with one
// check box per source it asks (browse list, WS-Discovery, mDNS), and the
// address-range builder with its two ignore boxes, and the "Network
// account" box (admin/core/scan_account.h) with its "Test" button, which
// lists one computer's shares with the account on a thread of its own.
// Every refusal is a message box and the dialog stays open; OK writes the
// five settings and the sources', and the credentials file when the account
// box was changed; Cancel nothing.
//
// Thread safety: the window thread only (the test's thread reaches the
// window through a queued call).
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <memory>
#include <thread>

#include "admin/core/network_lists.h"
#include "admin/core/scan_account.h"
#include "common/settings.h"
#include "platform/net/network.h"

namespace tellwen::admin {

class NetworkSearchDialog : public QDialog {
  Q_OBJECT

 public:
  using NetworkMaker = std::function<std::unique_ptr<net::Network>()>;

  // make_network: the network the "Test" button asks (null: the SMB
  // network of this machine).
  NetworkSearchDialog(Settings& settings, QWidget* parent = nullptr,
                      NetworkMaker make_network = nullptr);
  ~NetworkSearchDialog() override;

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
  ScanAccountBox AccountBox() const;
  void StartAccountTest();

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
  QLineEdit* account_user_;
  QLineEdit* account_domain_;
  QLineEdit* account_password_;
  QLineEdit* test_computer_;
  QPushButton* test_account_;
  QLabel* test_result_;
  ScanAccountShown account_shown_;  // as read when the dialog opened
  NetworkMaker make_network_;
  std::thread test_thread_;
};

}  // namespace tellwen::admin
