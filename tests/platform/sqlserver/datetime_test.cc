// Dates: reading texts, the CONVERT styles, DATEADD and DATEDIFF.
#include "platform/sqlserver/datetime.h"

#include <gtest/gtest.h>

#include "tests/platform/sqlserver/server_fixture.h"

namespace tellwen::sqlserver {
namespace {

using Dates = ServerTest;

TEST_F(Dates, ConvertStylesGiveSqlServersTexts) {
  EXPECT_EQ(Run("declare @d datetime set @d = '2002-02-15 17:38:32' "
                "select convert(varchar(30), @d, 0), convert(varchar(10), @d, 101), "
                "convert(varchar(10), @d, 105), convert(varchar(11), @d, 106), "
                "convert(varchar(19), @d, 120), convert(varchar(30), @d)"),
            (Rows{{"Feb 15 2002  5:38PM", "02/15/2002", "15-02-2002", "15 Feb 2002",
                   "2002-02-15 17:38:32", "Feb 15 2002  5:38PM"}}));
  EXPECT_EQ(One("select convert(varchar(30), convert(datetime, '2002-03-05 09:05:00'), 0)"),
            "Mar  5 2002  9:05AM");
  // The stat rows' time: style 106 and the last seven characters of style 0.
  EXPECT_EQ(One("declare @d datetime set @d = '2002-02-15 17:38:32' "
                "select replace(convert(varchar(11), @d, 106), ' ', '-') + ' at ' + "
                "ltrim(lower(right(convert(varchar(20), @d, 0), 7)))"),
            "15-Feb-2002 at 5:38pm");
}

TEST_F(Dates, ReadsTheTextsSqlServerAccepts) {
  EXPECT_EQ(Run("select convert(datetime, '5000'), convert(datetime, '20020215'), "
                "convert(datetime, '02/15/2002 5:38PM'), convert(datetime, 'Feb 15 2002  5:38PM'), "
                "convert(datetime, 0)"),
            (Rows{{"5000-01-01 00:00:00", "2002-02-15 00:00:00", "2002-02-15 17:38:00",
                   "2002-02-15 17:38:00", "1900-01-01 00:00:00"}}));
  EXPECT_EQ(Error("select convert(datetime, 'not a date')"),
            "Conversion failed when converting datetime from character string.");
}

TEST_F(Dates, DateAddClampsAndDateDiffCountsBoundaries) {
  EXPECT_EQ(
      Run("select dateadd(month, 1, '2006-08-31'), dateadd(hh, -2, '2006-01-01 01:00:00'), "
          "dateadd(yy, 1, '2004-02-29'), dateadd(dd, datediff(dd, 0, '2006-05-05 13:14:15'), 0)"),
      (Rows{{"2006-09-30 00:00:00", "2005-12-31 23:00:00", "2005-02-28 00:00:00",
             "2006-05-05 00:00:00"}}));
  EXPECT_EQ(
      Run("select datediff(day, '2006-01-01 23:59', '2006-01-02 00:00'), "
          "datediff(hour, '2006-01-01 10:59', '2006-01-01 11:00'), "
          "datediff(month, '2006-01-31', '2006-02-01'), "
          "datediff(week, '2006-01-07', '2006-01-08'), datediff(year, '2005-12-31', '2006-01-01')"),
      (Rows{{"1", "1", "1", "1", "1"}}));
  EXPECT_EQ(Run("select datepart(dw, '2006-01-01'), datepart(hh, '2006-01-01 17:00'), "
                "datepart(month, '2006-03-09'), year('2006-03-09'), datename(month, '2006-03-09')"),
            (Rows{{"1", "17", "3", "2006", "March"}}));
}

TEST(DateTime, CivilDaysRoundTrip) {
  for (int64_t s :
       {int64_t{0}, int64_t{-86400} * 365 * 70, int64_t{951782400}, int64_t{253402300799}}) {
    EXPECT_EQ(ToSeconds(FromSeconds(s)), s);
  }
  std::string text;
  EXPECT_FALSE(FormatDateStyle(DateTime{}, 999, &text));
}

}  // namespace
}  // namespace tellwen::sqlserver
