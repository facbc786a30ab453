#include "admin/ui/web_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "admin/core/web_values.h"
#include "admin/ui/categories_dialog.h"
#include "admin/ui/first_page_info_dialog.h"
#include "admin/ui/quick_links_dialog.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"
#include "platform/desktop/box_layout.h"

namespace tellwen::admin {

WebPage::WebPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent),
      services_(services),
      status_(StatusLabel("webStatus")),
      start_stop_(Named<QPushButton>("startStop", "START")),
      counter_(DigitsEdit("counter")),
      proxy_(Named<QCheckBox>("webProxy", "Enable web proxy\n(members only)")),
      contact_(Named<QLineEdit>("contact")) {
  counter_->setMaxLength(7);

  auto* status_group = new QGroupBox("Tellwen status");
  auto* status_layout = new QHBoxLayout(status_group);
  status_layout->addWidget(status_, 1);
  status_layout->addWidget(start_stop_);

  auto* set = Named<QPushButton>("setCounter", "&Set");
  auto* refresh = Named<QPushButton>("refreshCounter", "Re&fresh");
  auto* reset = Named<QPushButton>("resetCounter", "Rese&t");
  auto* counter_group = new QGroupBox("Counter");
  auto* counter_layout = new QHBoxLayout(counter_group);
  counter_layout->addWidget(counter_, 1);
  counter_layout->addWidget(set);
  counter_layout->addWidget(refresh);
  counter_layout->addWidget(reset);

  auto* contact_group = new QGroupBox("KIV administrator contact");
  auto* contact_layout = new QVBoxLayout(contact_group);
  contact_layout->addWidget(contact_);

  auto* quick_links = Named<QPushButton>("editQuickLinks", "Edit QuickLinks");
  auto* categories = Named<QPushButton>("editCategories", "Edit categories");
  auto* first_page = Named<QPushButton>("editFirstPageInfo", "Edit first page info");
  QHBoxLayout* editors = desktop::RowOf({quick_links, categories, first_page, nullptr});

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_group);
  layout->addWidget(counter_group);
  layout->addWidget(proxy_);
  layout->addWidget(contact_group);
  layout->addLayout(editors);
  layout->addStretch(1);

  Watch(proxy_);
  Watch(contact_);
  connect(start_stop_, &QPushButton::clicked, this, &WebPage::StartStop);
  connect(set, &QPushButton::clicked, this, &WebPage::SetCounter);
  connect(refresh, &QPushButton::clicked, this, &WebPage::RefreshCounter);
  connect(reset, &QPushButton::clicked, this, &WebPage::ResetCounter);
  desktop::OpenOnClick<QuickLinksDialog>(quick_links, this, services_.sql);
  desktop::OpenOnClick<CategoriesDialog>(categories, this, services_.settings);
  desktop::OpenOnClick<FirstPageInfoDialog>(first_page, this, services_.settings);
}

void WebPage::Load() {
  ShowStatus();
  RefreshCounter();
  const WebValues values = LoadWebValues(services_.settings);
  proxy_->setChecked(values.proxy_enabled);
  contact_->setText(Q(values.administrator_contact));
}

void WebPage::Store() {
  StoreWebValues(services_.settings, {proxy_->isChecked(), S(contact_->text())});
}

void WebPage::ShowStatus() {
  const WebStatusView view = ViewWebStatus(services_.settings.GetValue("WebStatus"));
  status_->setText(view.label);
  start_stop_->setText(view.button);
  Tint(status_, view.running);
}

void WebPage::StartStop() {
  if (services_.settings.GetValue("WebStatus") == "yes") {
    if (AskYesNo(kStopQuestion)) services_.settings.SetValue("WebStatus", "no");
  } else {
    services_.settings.SetValue("WebStatus", "yes");
  }
  ShowStatus();
}

void WebPage::SetCounter() {
  const std::optional<std::string> value = CounterToStore(S(counter_->text()));
  if (!value) {
    ShowMessage(kCounterRefusal, MessageIcon::kWarning);
    return;
  }
  if (!AskYesNo(kSetCounterQuestion)) return;
  services_.settings.SetValue("WebCounter", *value);
  counter_->setText(Q(*value));
}

void WebPage::RefreshCounter() {
  counter_->setText(Q(CounterToShow(services_.settings.GetValue("WebCounter"))));
}

void WebPage::ResetCounter() {
  if (!AskYesNo(kResetCounterQuestion)) return;
  services_.settings.SetValue("WebCounter", "0");
  counter_->setText("0");
}

}  // namespace tellwen::admin
