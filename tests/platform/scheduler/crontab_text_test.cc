// Work items in a crontab: found, set and removed without touching any
// other line.
#include "platform/scheduler/crontab_text.h"

#include <gtest/gtest.h>

namespace tellwen::scheduler {
namespace {

// A crontab an administrator wrote by hand: comments, environment lines,
// foreign jobs, a blank line, trailing blanks and a last line without "\n".
const std::string kForeign =
    "# m h  dom mon dow   command\n"
    "MAILTO=admin@example.org\n"
    "SHELL=/bin/sh  \n"
    "\n"
    "*/5 * * * * /usr/local/bin/backup --quiet\n"
    "#0 1 * * * /usr/local/bin/old-job";

TEST(CrontabText, SetsFindsReplacesInPlaceAndRemovesKeepingOtherLines) {
  std::string with_scan = SetCronItem(kForeign, kScanItemName, "0 2 * * * /x/KIVIndexer /index");
  EXPECT_EQ(with_scan, kForeign + "\n# Tellwen - Network Scan\n0 2 * * * /x/KIVIndexer /index\n");
  EXPECT_EQ(FindCronItem(with_scan, kScanItemName), "0 2 * * * /x/KIVIndexer /index");
  EXPECT_EQ(FindCronItem(with_scan, kUpdateItemName), std::nullopt);

  // A second item goes after the first; the first is then replaced in place.
  std::string both = SetCronItem(with_scan, kUpdateItemName, "0 4 * * * /x/KIVIndexer /updatedb");
  std::string edited = SetCronItem(both, kScanItemName, "#30 3 * * 1 /x/KIVIndexer /index");
  EXPECT_EQ(edited, kForeign +
                        "\n# Tellwen - Network Scan\n#30 3 * * 1 /x/KIVIndexer /index\n"
                        "# Tellwen - Database Update\n0 4 * * * /x/KIVIndexer /updatedb\n");
  EXPECT_EQ(FindCronItem(edited, kScanItemName), "#30 3 * * 1 /x/KIVIndexer /index");

  // Removal gives back the other lines byte for byte.
  std::string without_scan = RemoveCronItem(edited, kScanItemName);
  EXPECT_EQ(without_scan,
            kForeign + "\n# Tellwen - Database Update\n0 4 * * * /x/KIVIndexer /updatedb\n");
  EXPECT_EQ(RemoveCronItem(without_scan, kUpdateItemName), kForeign + "\n");
  EXPECT_EQ(RemoveCronItem(kForeign, kScanItemName), kForeign);
  EXPECT_EQ(SetCronItem("", kScanItemName, "job"), "# Tellwen - Network Scan\njob\n");
}

TEST(CrontabText, ItemInTheMiddleIsReplacedInPlaceAndCopiesDropped) {
  const std::string crontab =
      "A=1\n# Tellwen - Network Scan\r\nold job\r\nB=2\n# Tellwen - Network Scan\nother "
      "copy\nC=3\n";
  EXPECT_EQ(FindCronItem(crontab, kScanItemName), "old job");
  EXPECT_EQ(SetCronItem(crontab, kScanItemName, "new job"),
            "A=1\n# Tellwen - Network Scan\nnew job\nB=2\nC=3\n");
  EXPECT_EQ(RemoveCronItem(crontab, kScanItemName), "A=1\nB=2\nC=3\n");
}

TEST(CrontabText, MarkerWithoutJobLineOwnsOnlyItself) {
  // A blank line or another "# " comment after the marker is not the item's.
  const std::string crontab =
      "# Tellwen - Network Scan\n\n# note\n# Tellwen - Database Update\n# keep\n";
  EXPECT_EQ(FindCronItem(crontab, kScanItemName), "");
  EXPECT_EQ(RemoveCronItem(crontab, kScanItemName),
            "\n# note\n# Tellwen - Database Update\n# keep\n");
  EXPECT_EQ(RemoveCronItem(crontab, kUpdateItemName),
            "# Tellwen - Network Scan\n\n# note\n# keep\n");
  // A similar name is a different item.
  EXPECT_EQ(FindCronItem("# Tellwen - Network Scan 2\njob\n", kScanItemName), std::nullopt);
}

}  // namespace
}  // namespace tellwen::scheduler
