#include "admin/ui/about_page.h"

#include <QVBoxLayout>

#include "admin/core/link_error_text.h"
#include "admin/ui/program_icon.h"
#include "admin/ui/widgets.h"
#include "base/user_messages.h"

namespace tellwen::admin {
namespace {

QLabel* LinkLabel(const char* name, const QString& target, const QString& text) {
  auto* label = Named<QLabel>(name);
  label->setText("<a href=\"" + target.toHtmlEscaped() + "\">" + text.toHtmlEscaped() + "</a>");
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setOpenExternalLinks(false);
  label->setCursor(Qt::PointingHandCursor);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

AboutPage::AboutPage(AdminServices& services, QWidget* parent)
    : SettingsPage(parent), services_(services) {
  auto* icon = Named<QLabel>("icon");
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  icon->setAlignment(Qt::AlignCenter);
  auto* version = Named<QLabel>("version", "KIVAdmin v1.0");
  version->setAlignment(Qt::AlignCenter);
  QFont bold = version->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  version->setFont(bold);
  auto* title = new QLabel("Tellwen Administrator");
  title->setAlignment(Qt::AlignCenter);
  auto* home = LinkLabel("homeLink", kHomePageLink, "Tellwen home page");
  auto* support = LinkLabel("supportLink", kSupportLink, "support@tellwen.example");

  auto* layout = new QVBoxLayout(this);
  layout->addStretch(1);
  layout->addWidget(icon);
  layout->addWidget(version);
  layout->addWidget(title);
  layout->addSpacing(16);
  layout->addWidget(home);
  layout->addWidget(support);
  layout->addStretch(2);

  for (QLabel* link : {home, support}) {
    connect(link, &QLabel::linkActivated, this,
            [this](const QString& target) { OpenTarget(S(target)); });
  }
}

AboutPage::~AboutPage() {
  for (std::thread& opener : openers_) opener.join();
}

void AboutPage::OpenTarget(const std::string& target) {
  auto open = services_.open_link;
  openers_.emplace_back([this, open, target] {
    const desktop::LinkOpenResult result = open(target);
    QMetaObject::invokeMethod(
        this,
        [this, result] {
          if (!result.ok()) ShowMessage(LinkErrorText(result), MessageIcon::kError);
          emit linkOpened(result.ok());
        },
        Qt::QueuedConnection);
  });
}

}  // namespace tellwen::admin
