// KIVAdmin's Web and Security pages against the running site: kivweb with
// KIVQuery.so over a catalog, reading the settings the pages write.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include "admin/ui/security_page.h"
#include "admin/ui/web_page.h"
#include "common/settings.h"
#include "tests/admin/fake_picker.h"
#include "tests/admin/ui_test_support.h"
#include "tests/base/recording_messages.h"
#include "tests/integration/search_site.h"
#include "tests/support/fake_sql.h"
#include "tests/support/matchers.h"

namespace tellwen::testing {
namespace {

class AdminSite : public SearchSiteTest {};

TEST_F(AdminSite, StopClosesTheSiteABannedAddressIsForbiddenAndStartOpensIt) {
  ServeCatalog({{"//PC1", "docs", "", "", "*", 0}, {"//PC1", "docs", "", "", "a.txt", 3}});
  RegistrySettings settings;
  FakeSql sql;
  FakePicker picker;
  ScopedRecordingMessages messages;
  messages->set_answer(true);
  admin::AdminServices services{settings, sql, picker};
  admin::WebPage web(services);
  web.LoadOnce();
  EXPECT_THAT(Page("Command?").body, HasSubstr("<form"));

  Click(&web, "startStop");
  EXPECT_EQ(messages->asked(),
            std::vector<std::string>{"Are you sure do you want to stop Tellwen service?"});
  HttpResponse closed = Page("Command?");
  EXPECT_THAT(closed.body, HasSubstr("Service is temporary DOWN."));
  EXPECT_THAT(closed.body, Not(HasSubstr("<form")));

  Click(&web, "startStop");
  EXPECT_THAT(Page("Command?").body, HasSubstr("<form"));

  admin::SecurityPage security(services);
  security.LoadOnce();
  Find<QCheckBox>(&security, "allowAllIps")->setChecked(true);
  Find<QLineEdit>(&security, "address")->setText("127.0.0.1");
  Click(&security, "addIp");
  security.Apply();
  HttpResponse banned = Page("Command?");
  EXPECT_THAT(banned.body, HasSubstr("Access is FORBIDDEN from your address."));
  EXPECT_THAT(banned.body, Not(HasSubstr("<form")));
}

}  // namespace
}  // namespace tellwen::testing
