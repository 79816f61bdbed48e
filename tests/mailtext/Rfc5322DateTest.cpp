// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/Rfc5322Date.h"

#include <gtest/gtest.h>

using namespace parcelo;

namespace {

QDateTime Utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

TEST(Rfc5322Date, ReadsZonesAndObsoleteForms) {
    struct Case {
        const char* text;
        QDateTime utc;
    } cases[] = {
        {"Tue, 3 Mar 2009 19:41:00 +0100", Utc(2009, 3, 3, 18, 41)},
        {"3 Mar 2009 19:41:05 -0230", Utc(2009, 3, 3, 22, 11, 5)},
        {"Fri, 21 Nov 1997 09:55:06 -0600 (MDT)", Utc(1997, 11, 21, 15, 55, 6)},
        {"Thu, 13 Feb 1969 23:32 -0330 (Newfoundland Time)", Utc(1969, 2, 14, 3, 2)},
        {"Fri, 7 Feb 2003 18:35:25 GMT", Utc(2003, 2, 7, 18, 35, 25)},
        {"Mon, 1 Jan 2001 10:00:00 EST", Utc(2001, 1, 1, 15, 0)},
        {"Mon, 1 Jan 2001 10:00:00 PDT", Utc(2001, 1, 1, 17, 0)},
        {"1 Jan 01 10:00:00 UT", Utc(2001, 1, 1, 10, 0)},
        {"21 Nov 97 09:55:06 Z", Utc(1997, 11, 21, 9, 55, 6)},
        {"21 Nov 097 09:55:06 +0000", Utc(1997, 11, 21, 9, 55, 6)},
        {"Wed,  5 Jan 2011 12:00:00", Utc(2011, 1, 5, 12, 0)},
        {"5 Jan 2011 12:00:00 CET", Utc(2011, 1, 5, 12, 0)},
        {"Sat, 31 Dec 2016 23:59:60 +0000", Utc(2016, 12, 31, 23, 59, 59)},
        {"Thu, 1 Jan 1970 00:00:00 +0000", Utc(1970, 1, 1, 0, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseRfc5322Date(c.text), c.utc) << c.text;
}

TEST(Rfc5322Date, UnreadableDatesAreInvalid) {
    for (const char* text :
         {"", "yesterday", "31 Feb 2009 10:00:00 +0000", "3 Mar 2009 25:00:00 +0000", "3 Mar 2009",
          "Mar 2009 10:00:00", "3 Foo 2009 10:00:00 +0000", "3 Mar 2009 10:61:00 +0000"})
        EXPECT_FALSE(ParseRfc5322Date(text).isValid()) << text;
}

TEST(Rfc5322Date, MboxSeparatorDates) {
    EXPECT_EQ(ParseMboxFromLineDate("From news@gmane.org Tue Mar 04 03:33:20 2003"),
              Utc(2003, 3, 4, 3, 33, 20));
    EXPECT_EQ(ParseMboxFromLineDate("From MAILER-DAEMON Fri Jul  8 12:08:34 2011"),
              Utc(2011, 7, 8, 12, 8, 34));
    EXPECT_EQ(ParseMboxFromLineDate("From - Sat Jan  3 01:05:34 1996"), Utc(1996, 1, 3, 1, 5, 34));
    EXPECT_EQ(ParseMboxFromLineDate("From a@b Sat Jan 3 01:05:34 1996 +0100"),
              Utc(1996, 1, 3, 0, 5, 34));
    EXPECT_FALSE(ParseMboxFromLineDate("From -").isValid());
    EXPECT_FALSE(ParseMboxFromLineDate("From 1844347792267117879@xxx").isValid());
}
