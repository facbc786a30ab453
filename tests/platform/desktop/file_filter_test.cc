#include "platform/desktop/file_filter.h"

#include <gtest/gtest.h>

namespace tellwen::desktop {
namespace {

TEST(QtFileFilter, KeepsTheChoicesInOrderWithEveryFileAsStar) {
  EXPECT_EQ(QtFileFilter("All Files (*.*)|*.*|Text Files (*.txt)|*.txt||"),
            "All Files (*);;Text Files (*.txt)");
  EXPECT_EQ(QtFileFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"),
            "Text Files (*.txt);;All Files (*)");
  EXPECT_EQ(QtFileFilter("Pages|*.htm;*.html||"), "Pages (*.htm *.html)");
  EXPECT_EQ(QtFileFilter(""), "");
}

}  // namespace
}  // namespace tellwen::desktop
