#include "admin/core/page_fields.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "tests/support/fake_settings.h"

namespace tellwen::admin {
namespace {

// The command-line administrator shows and changes exactly what each page
// stores: a setting a page gains cannot be left out of the table.
TEST(PageFields, EveryPageStoresExactlyTheSettingsOfItsRows) {
  testing::FakeSettings settings;
  for (const char* page : kPageNames) {
    std::set<std::string> rows;
    for (const PageField& field : PageFields()) {
      if (field.page == std::string(page)) rows.insert(field.setting);
    }
    const std::vector<std::string> stored = StoredByPage(page, settings);
    EXPECT_EQ(rows, std::set<std::string>(stored.begin(), stored.end())) << page;
  }
  EXPECT_EQ(FindPageField("levels"), FindPageField("Levels"));
  EXPECT_EQ(FindPageField("NoSuchSetting"), nullptr);
}

}  // namespace
}  // namespace tellwen::admin
