// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/dates/MailDate.h"

#include "export/dates/ParseMailDate.h"
#include "platform/LocaleFormats.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

const QDateTime kNow(QDate(2009, 1, 5), QTime(12, 0));

TEST(MailDateZone, FindsZoneOfCommonForms) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 -0500"), QStringLiteral("-0500")},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 +0100 (CET)"), QStringLiteral("+0100")},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 GMT"), QStringLiteral("GMT")},
        {QStringLiteral("5 Jan 2009 10:00 UT"), QStringLiteral("UT")},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 EST"), QStringLiteral("EST")},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 PDT<x>"), QStringLiteral("PDT")},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00"), QStringLiteral("+0000")},
        {QString(), QStringLiteral("+0000")},
    };
    for (const auto& [text, zone] : cases)
        EXPECT_EQ(MailDateZone(text), zone) << text.toStdString();
}

TEST(NormaliseMailDate, WritesMonthFirstWithoutZone) {
    const QString now = kNow.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 -0500"), QStringLiteral("01/05/2009 10:00:00")},
        {QStringLiteral("05 Jan 2009 10:00:00 +0000"), QStringLiteral("01/05/2009 10:00:00")},
        {QStringLiteral("Tue, 1 Dec 2026 08:30 GMT"), QStringLiteral("12/01/2026 08:30:00")},
        {QStringLiteral("Fri, 13 Feb 98 23:31:30 +0100"), QStringLiteral("02/13/1998 23:31:30")},
        {QStringLiteral("01/05/2009 10:00:00"), QStringLiteral("01/05/2009 10:00:00")},
        // The zone's length is dropped from the end, so a trailing comment spoils the text.
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 +0100 (CET)"), now},
        {QStringLiteral("not a date at all, really"), now},
        {QString(), now},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(NormaliseMailDate(text, kNow), expected) << text.toStdString();
}

TEST(DateAgeMinutes, CountsMinutesToNow) {
    const std::pair<QString, int> cases[] = {
        {QString(), -1},
        {QStringLiteral("Mon, 05 Jan 2009 10:00:00 -0500"), 120},
        {QStringLiteral("Mon, 05 Jan 2009 11:58:30 +0000"), 1}, // whole minutes only
        {QStringLiteral("Mon, 05 Jan 2009 13:00:00 -0500"), -60},
        {QStringLiteral("Mon, 05 Jan 2009 12:00:00 +0900"), 0},
        {QStringLiteral("garbage that does not parse"), 0},
        {QStringLiteral("Tue, 05 Jan 0999 10:00:00 +0000"),
         int(QDateTime(QDate(1980, 1, 1), QTime(0, 0)).secsTo(kNow) / 60)},
        {QStringLiteral("Thu, 01 Jan 1970 00:00:00 +0000"),
         int(QDateTime(QDate(1980, 1, 1), QTime(0, 0)).secsTo(kNow) / 60)},
    };
    for (const auto& [text, age] : cases)
        EXPECT_EQ(DateAgeMinutes(text, kNow), age) << text.toStdString();
}

TEST(DateAgeMinutes, NumericFormIsMonthFirstInDayFirstLocales) {
    for (const char* name : {"de_DE", "en_GB", "fr_FR", "en_US"}) {
        LocaleFormats::setCurrent(QLocale(QString::fromLatin1(name)));
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(DateAgeMinutes(QStringLiteral("01/05/2009 10:00:00"), kNow), 120) << name;
        // 13/01 is no month/day pair: it does not parse and counts as now.
        EXPECT_EQ(DateAgeMinutes(QStringLiteral("13/01/2009 10:00:00"), kNow), 0) << name;
    }
    LocaleFormats::resetCurrent();
    QLocale::setDefault(QLocale::c());
}

TEST(ParseMailDate, ReadsTheFormsTheExportCompares) {
    const std::pair<QString, QDateTime> cases[] = {
        {QStringLiteral("05 Jan 2009 10:00:00"), QDateTime(QDate(2009, 1, 5), QTime(10, 0))},
        {QStringLiteral("5-January-09 10:00"), QDateTime(QDate(2009, 1, 5), QTime(10, 0))},
        {QStringLiteral("5 jan 99"), QDateTime(QDate(1999, 1, 5), QTime(0, 0))},
        {QStringLiteral("30 Sept 2010 23:59:59"), QDateTime(QDate(2010, 9, 30), QTime(23, 59, 59))},
        {QStringLiteral("12/31/2009 07:08:09"), QDateTime(QDate(2009, 12, 31), QTime(7, 8, 9))},
        {QStringLiteral("31 Feb 2009"), QDateTime()},
        {QStringLiteral("05 Foo 2009"), QDateTime()},
        {QStringLiteral("05 Ja 2009"), QDateTime()},
        {QStringLiteral("31/12/2009 07:08:09"), QDateTime()},
        {QStringLiteral("05 Jan 2009 25:00"), QDateTime()},
        {QStringLiteral("Mon, 05 Jan 2009"), QDateTime()},
        {QString(), QDateTime()},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseMailDate(text), expected) << text.toStdString();
}

} // namespace
