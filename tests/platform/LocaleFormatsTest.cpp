// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocaleFormats.h"

#include <gtest/gtest.h>

using parcelo::LocaleFormats;

TEST(LocaleFormats, WidensTwoDigitYearsAndRoundTrips) {
    for (const char* name : {"en_US", "de_DE", "en_GB", "ja_JP"}) {
        LocaleFormats formats{QLocale(QString::fromLatin1(name))};
        SCOPED_TRACE(name);
        EXPECT_TRUE(formats.dateFormat().contains(QLatin1String("yyyy")));
        const QDate date(1999, 12, 3);
        EXPECT_EQ(formats.parseDate(formats.formatDate(date)), date);
        const QDateTime value(date, QTime(17, 4));
        EXPECT_EQ(formats.parseDateOfDateTime(formats.formatDateTime(value)), date);
    }
}

TEST(LocaleFormats, InvalidValuesReadInvalidDateTime) {
    LocaleFormats formats{QLocale(QLocale::English, QLocale::UnitedStates)};
    EXPECT_EQ(formats.formatDateTime(QDateTime()), QStringLiteral("Invalid DateTime"));
    EXPECT_FALSE(formats.parseDateOfDateTime(QStringLiteral("Invalid DateTime")).isValid());
}
