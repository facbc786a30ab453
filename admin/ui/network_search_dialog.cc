#include "admin/ui/network_search_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/net/smb_network.h"

namespace tellwen::admin {
NetworkSearchDialog::NetworkSearchDialog(Settings& settings, QWidget* parent,
                                         NetworkMaker make_network)
    : QDialog(parent),
      settings_(settings),
      entire_network_(Named<QCheckBox>("searchEntireNetwork", "Search entire network")),
      browse_list_(Named<QCheckBox>("sourceBrowseList", "Browse list (NetBIOS)")),
      ws_discovery_(Named<QCheckBox>("sourceWsDiscovery", "WS-Discovery")),
      mdns_(Named<QCheckBox>("sourceMdns", "mDNS (_smb._tcp)")),
      server_(Named<QLineEdit>("server")),
      from_(AddressEdit("from")),
      to_(AddressEdit("to")),
      ignore_zero_(Named<QCheckBox>("ignoreZero", "Ignore IP zero")),
      ignore_255_(Named<QCheckBox>("ignore255", "Ignore IP 255")),
      include_(Named<QListWidget>("includeList")),
      exclude_(Named<QListWidget>("excludeList")),
      account_user_(Named<QLineEdit>("accountUser")),
      account_domain_(Named<QLineEdit>("accountDomain")),
      account_password_(Named<QLineEdit>("accountPassword")),
      test_computer_(Named<QLineEdit>("testComputer")),
      test_account_(Named<QPushButton>("testAccount", "&Test")),
      test_result_(Named<QLabel>("testResult")),
      make_network_(make_network ? std::move(make_network) : [] {
        return std::unique_ptr<net::Network>(std::make_unique<net::SmbNetwork>());
      }) {
  setWindowTitle("Network search");
  setObjectName("networkSearchDialog");
  // Wide enough for the longest range without scrolling.
  const int list_width =
      include_->fontMetrics().horizontalAdvance("255.255.255.255 - 255.255.255.255") + 40;
  for (QListWidget* list : {include_, exclude_}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumWidth(list_width);
  }

  auto* add_server = new QGroupBox("Add server");
  auto* server_layout = new QVBoxLayout(add_server);
  auto* to_include = Named<QPushButton>("toInclude", "To include list >> ");
  auto* to_exclude = Named<QPushButton>("toExclude", "To exclude list >>");
  server_layout->addWidget(server_);
  server_layout->addWidget(to_include);
  server_layout->addWidget(to_exclude);

  auto* range = new QGroupBox("Add IP range");
  auto* range_grid = new QGridLayout(range);
  auto* previous = Named<QPushButton>("prevC", "PrevC");
  auto* next = Named<QPushButton>("nextC", "NextC");
  auto* whole = Named<QPushButton>("wholeC", "1..254");
  auto* add_range = Named<QPushButton>("addRange", "Add IP range to include list >>");
  range_grid->addWidget(new QLabel("From:"), 0, 0);
  range_grid->addWidget(from_, 0, 1, 1, 3);
  range_grid->addWidget(new QLabel("To:"), 1, 0);
  range_grid->addWidget(to_, 1, 1, 1, 3);
  range_grid->addWidget(previous, 2, 1);
  range_grid->addWidget(next, 2, 2);
  range_grid->addWidget(whole, 2, 3);
  range_grid->addWidget(ignore_zero_, 3, 1, 1, 3);
  range_grid->addWidget(ignore_255_, 4, 1, 1, 3);
  range_grid->addWidget(add_range, 5, 0, 1, 4);

  // The sources sit under the box they belong to, indented, and are only
  // editable while it is ticked.
  auto* sources = new QVBoxLayout;
  sources->setContentsMargins(20, 0, 0, 0);
  for (QCheckBox* source : {browse_list_, ws_discovery_, mdns_}) {
    sources->addWidget(source);
    connect(entire_network_, &QCheckBox::toggled, source, &QCheckBox::setEnabled);
  }

  auto* left = new QVBoxLayout;
  left->addWidget(entire_network_);
  left->addLayout(sources);
  left->addWidget(add_server);
  left->addWidget(range);

  // The account offered where a computer refuses the guest; its password
  // lives in the credentials file only and is never shown again.
  auto* account = new QGroupBox("Network account");
  auto* account_form = new QFormLayout(account);
  account_password_->setEchoMode(QLineEdit::Password);
  test_result_->setWordWrap(true);
  test_computer_->setPlaceholderText("computer");
  auto* test_row = new QHBoxLayout;
  test_row->addWidget(test_computer_, 1);
  test_row->addWidget(test_account_);
  account_form->addRow("User:", account_user_);
  account_form->addRow("Domain:", account_domain_);
  account_form->addRow("Password:", account_password_);
  account_form->addRow("Test on:", test_row);
  account_form->addRow(test_result_);
  left->addWidget(account);
  left->addStretch(1);

  auto* include_box = new QGroupBox("Including these servers");
  auto* include_layout = new QVBoxLayout(include_box);
  auto* remove_include = Named<QPushButton>("removeInclude", "Remove selected servers");
  include_layout->addWidget(include_);
  include_layout->addWidget(remove_include);
  auto* exclude_box = new QGroupBox("Excluding these servers");
  auto* exclude_layout = new QVBoxLayout(exclude_box);
  auto* remove_exclude = Named<QPushButton>("removeExclude", "Remove selected servers");
  exclude_layout->addWidget(exclude_);
  exclude_layout->addWidget(remove_exclude);
  auto* right = new QVBoxLayout;
  right->addWidget(include_box);
  right->addWidget(exclude_box);

  QDialogButtonBox* buttons = OkCancelButtons(this);

  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(buttons);

  // Opening: empty address boxes; the flags and both lists from the store.
  const NetworkSearch values = LoadNetworkSearch(settings_);
  sources_ = values.sources;
  entire_network_->setChecked(values.search_entire_network);
  browse_list_->setChecked(values.sources.browse_list);
  ws_discovery_->setChecked(values.sources.ws_discovery);
  mdns_->setChecked(values.sources.mdns);
  for (QCheckBox* source : {browse_list_, ws_discovery_, mdns_}) {
    source->setEnabled(values.search_entire_network);
  }
  ignore_zero_->setChecked(values.ignore_zero);
  ignore_255_->setChecked(values.ignore_255);
  SetLines(include_, values.include);
  SetLines(exclude_, values.exclude);
  account_shown_ = LoadScanAccountBox(settings_);
  account_user_->setText(Q(account_shown_.user));
  account_domain_->setText(Q(account_shown_.domain));
  if (!account_shown_.user.empty()) account_password_->setPlaceholderText("(unchanged)");
  test_result_->setText(account_shown_.problem.empty() ? "" : Q(account_shown_.problem));
  connect(test_account_, &QPushButton::clicked, this, &NetworkSearchDialog::StartAccountTest);

  connect(to_include, &QPushButton::clicked, this, [this] {
    AddEntry(S(server_->text()), include_, kIncludeListName, server_, EntryKind::kComputer);
  });
  connect(to_exclude, &QPushButton::clicked, this, [this] {
    AddEntry(S(server_->text()), exclude_, kExcludeListName, server_, EntryKind::kComputer);
  });
  connect(previous, &QPushButton::clicked, this, [this] {
    ShowRange(PreviousClassC(From(), ignore_zero_->isChecked(), ignore_255_->isChecked()));
  });
  connect(next, &QPushButton::clicked, this, [this] {
    ShowRange(NextClassC(From(), ignore_zero_->isChecked(), ignore_255_->isChecked()));
  });
  connect(whole, &QPushButton::clicked, this, [this] {
    ShowRange(WholeClassC(From(), ignore_zero_->isChecked(), ignore_255_->isChecked()));
  });
  connect(add_range, &QPushButton::clicked, this, &NetworkSearchDialog::AddRange);
  connect(remove_include, &QPushButton::clicked, this,
          [this] { RemoveSelected(include_, kNoSelectedInclude); });
  connect(remove_exclude, &QPushButton::clicked, this,
          [this] { RemoveSelected(exclude_, kNoSelectedExclude); });
}

void NetworkSearchDialog::AddEntry(const std::string& text, QListWidget* list,
                                   const char* list_name, QLineEdit* clear, EntryKind kind) {
  std::string line;
  if (std::optional<Refusal> refusal = CheckNewEntry(text, kind, list_name, Lines(list), &line)) {
    ShowMessage(refusal->text, refusal->icon);
  } else {
    list->addItem(Q(line));
    if (clear != nullptr) clear->clear();
  }
  if (clear != nullptr) clear->setFocus();
}

void NetworkSearchDialog::RemoveSelected(QListWidget* list, const char* none_selected) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) {
    ShowMessage(none_selected, MessageIcon::kInformation);
    return;
  }
  for (QListWidgetItem* item : selected) delete item;
}

Octets NetworkSearchDialog::From() const { return ParseAddress(S(from_->text())); }

void NetworkSearchDialog::ShowRange(const AddressRange& range) {
  from_->setText(Q(FormatAddress(range.from)));
  to_->setText(Q(FormatAddress(range.to)));
}

void NetworkSearchDialog::AddRange() {
  const std::string from_text = S(from_->text());
  const std::string to_text = S(to_->text());
  const AddressRange range{ParseAddress(from_text), ParseAddress(to_text)};
  // A box holding less than a whole address is not a range at all.
  if (FormatAddress(range.from) != from_text || FormatAddress(range.to) != to_text) {
    ShowMessage("IP range '" + from_text + "' - '" + to_text + "' is invalid!",
                MessageIcon::kError);
    return;
  }
  const RangeCheck check = CheckRange(range);
  if (check.refusal) {
    ShowMessage(check.refusal->text, check.refusal->icon);
    return;
  }
  if (!check.question.empty() && !AskYesNo(check.question, MessageIcon::kQuestion)) return;
  AddEntry(check.entry, include_, kIncludeListName, nullptr, check.kind);
}

NetworkSearchDialog::~NetworkSearchDialog() {
  if (test_thread_.joinable()) test_thread_.join();
}

ScanAccountBox NetworkSearchDialog::AccountBox() const {
  return ScanAccountBox{S(account_user_->text()), S(account_domain_->text()),
                        S(account_password_->text())};
}

void NetworkSearchDialog::StartAccountTest() {
  if (test_thread_.joinable()) test_thread_.join();  // the previous one has ended
  net::NetAccount account;
  if (std::string problem = AccountOfBox(settings_, AccountBox(), &account); !problem.empty()) {
    test_result_->setText(Q(problem));
    return;
  }
  const std::string computer = S(test_computer_->text());
  test_account_->setEnabled(false);
  test_result_->setText("Testing...");
  test_thread_ = std::thread([this, account, computer] {
    std::unique_ptr<net::Network> network = make_network_();
    const std::string result = TestScanAccount(*network, account, computer).text;
    QMetaObject::invokeMethod(
        this,
        [this, result] {
          test_result_->setText(Q(result));
          test_account_->setEnabled(true);
        },
        Qt::QueuedConnection);
  });
}

void NetworkSearchDialog::accept() {
  const ScanAccountBox box = AccountBox();
  if (box.user != account_shown_.user || box.domain != account_shown_.domain ||
      !box.password.empty()) {
    if (std::string problem = StoreScanAccountBox(settings_, box); !problem.empty()) {
      ShowMessage(problem, MessageIcon::kError);
      return;
    }
  }
  NetworkSearch values;
  values.search_entire_network = entire_network_->isChecked();
  values.sources = sources_;  // the interfaces as they were read
  values.sources.browse_list = browse_list_->isChecked();
  values.sources.ws_discovery = ws_discovery_->isChecked();
  values.sources.mdns = mdns_->isChecked();
  values.include = Lines(include_);
  values.exclude = Lines(exclude_);
  values.ignore_zero = ignore_zero_->isChecked();
  values.ignore_255 = ignore_255_->isChecked();
  StoreNetworkSearch(settings_, values);
  QDialog::accept();
}

}  // namespace tellwen::admin
