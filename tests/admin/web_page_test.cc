// The Web page's wiring: START/STOP and the counter buttons write at once,
// the proxy flag and contact on Apply, the editors open.
#include "admin/ui/web_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "admin/core/web_values.h"
#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/support/fake_settings.h"
#include "tests/support/fake_sql.h"

namespace tellwen::admin {
namespace {

using testing::Click;
using testing::Find;

class WebPageTest : public ::testing::Test {
 protected:
  testing::FakeSettings settings_;
  testing::FakeSql sql_;
  testing::FakePicker picker_;
  testing::ScopedRecordingMessages messages_;
  AdminServices services_{settings_, sql_, picker_};
};

TEST_F(WebPageTest, StartStopAsksOnlyBeforeStoppingAndTintsTheLabel) {
  settings_.SetValue("WebStatus", "updating");
  WebPage page(services_);
  page.LoadOnce();
  auto* status = Find<QLabel>(&page, "webStatus");
  auto* button = Find<QPushButton>(&page, "startStop");
  EXPECT_EQ(status->text(), "Tellwen is stopped.");
  const QColor face = page.palette().color(QPalette::Button);
  EXPECT_EQ(status->palette().color(QPalette::Window).red(), std::min(face.red() + 30, 255));
  Click(&page, "startStop");  // no question before starting
  EXPECT_TRUE(messages_->asked().empty());
  EXPECT_EQ(settings_.Stored("WebStatus"), "yes");
  EXPECT_EQ(button->text(), "STOP");
  EXPECT_EQ(status->palette().color(QPalette::Window).green(), std::min(face.green() + 30, 255));

  Click(&page, "startStop");  // answered no
  EXPECT_EQ(messages_->asked(),
            std::vector<std::string>{"Are you sure do you want to stop Tellwen service?"});
  EXPECT_EQ(settings_.Stored("WebStatus"), "yes");
  messages_->set_answer(true);
  Click(&page, "startStop");
  EXPECT_EQ(settings_.Stored("WebStatus"), "no");
  EXPECT_EQ(status->text(), "Tellwen is stopped.");
}

TEST_F(WebPageTest, CounterButtonsWriteAtOnceAndSetRefusesWhatTheSiteCannotRead) {
  settings_.SetValue("WebCounter", "17");
  WebPage page(services_);
  page.LoadOnce();
  auto* counter = Find<QLineEdit>(&page, "counter");
  EXPECT_EQ(counter->text(), "17");
  Click(&page, "resetCounter");  // answered no
  EXPECT_EQ(settings_.Stored("WebCounter"), "17");
  messages_->set_answer(true);
  counter->setText("");
  Click(&page, "setCounter");
  EXPECT_EQ(messages_->shown(), std::vector<std::string>{kCounterRefusal});
  EXPECT_EQ(settings_.Stored("WebCounter"), "17");
  counter->setText("0500");
  Click(&page, "setCounter");
  EXPECT_EQ(settings_.Stored("WebCounter"), "500");
  settings_.SetValue("WebCounter", "501");
  Click(&page, "refreshCounter");
  EXPECT_EQ(counter->text(), "501");
  Click(&page, "resetCounter");
  EXPECT_EQ(settings_.Stored("WebCounter"), "0");
  EXPECT_EQ(counter->text(), "0");
  EXPECT_EQ(messages_->asked(),
            (std::vector<std::string>{
                "Are you sure do you want to reset the value of the web counter?",
                "Are you sure do you want to change the value of the web counter?",
                "Are you sure do you want to reset the value of the web counter?"}));
}

TEST_F(WebPageTest, ProxyAndContactWaitForApplyAndTheEditorsOpen) {
  WebPage page(services_);
  page.LoadOnce();
  Find<QCheckBox>(&page, "webProxy")->setChecked(true);
  Find<QLineEdit>(&page, "contact")->setText("mailto:it@example.org");
  EXPECT_FALSE(settings_.Has("AdministratorContact"));
  page.Apply();
  EXPECT_EQ(settings_.Stored("WebProxyEnabled"), "1");
  EXPECT_EQ(settings_.Stored("AdministratorContact"), "mailto:it@example.org");

  for (const char* button : {"editFirstPageInfo", "editCategories", "editQuickLinks"}) {
    QString opened;
    testing::WhenModalShows([&opened](QDialog* dialog) {
      opened = dialog->windowTitle();
      dialog->reject();
    });
    Click(&page, button);
    EXPECT_FALSE(opened.isEmpty()) << button;
  }
}

}  // namespace
}  // namespace tellwen::admin
