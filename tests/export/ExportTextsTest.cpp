// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/CountText.h"
#include "filters/MessageFilterFacts.h"
#include "export/dates/SentDateText.h"
#include "platform/LocaleFormats.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace parcelo;

TEST(CountText, ZeroOneAndDigits) {
    EXPECT_EQ(CountText(0), "Zero");
    EXPECT_EQ(CountText(1), "One");
    EXPECT_EQ(CountText(2), "2");
    EXPECT_EQ(CountText(12345), "12345");
    EXPECT_EQ(CountText(-1), "-1");
}

TEST(SentDateText, LocalTwelveHourClockWithEnglishMonths) {
    test::ScopedTimeZone tz("EST5EDT");
    struct Case {
        QDateTime utc;
        const char* text;
    } cases[] = {
        {QDateTime(QDate(2009, 3, 6), QTime(0, 41), Qt::UTC), "March 05. 2009 07h 41m"},
        {QDateTime(QDate(2009, 1, 5), QTime(5, 0), Qt::UTC), "January 05. 2009 12h 00m"},
        {QDateTime(QDate(2020, 7, 1), QTime(16, 5), Qt::UTC), "July 01. 2020 12h 05m"},
        {QDateTime(), "Invalid DateTime"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SentDateText(c.utc), c.text);
}

TEST(MessageFilterFacts, DerivedFromStoreProperties) {
    LocaleFormats::setCurrent(QLocale(QLocale::English, QLocale::UnitedStates));
    test::ScopedTimeZone tz("UTC");
    MESSAGEPROPS props;
    props.pszDisplayFrom = "Jürgen";
    props.pszNormalSubject = "Hello";
    props.pszDisplayTo = "Ann, Bob";
    props.ftSent = QDateTime(QDate(2009, 1, 5), QTime(10, 0), Qt::UTC);
    props.cbMessage = 2048;
    struct Case {
        int priority;
        std::uint32_t state;
        int priorityCode, statusCode, flagCode;
    } cases[] = {
        {IMSG_PRI_HIGH, MSG_UNREAD, 2, 0, 0},
        {IMSG_PRI_LOW, MSG_FLAGGED, 0, 1, 1},
        {IMSG_PRI_NORMAL, MSG_UNREAD | MSG_FLAGGED, 1, 0, 1},
        {4, 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        props.priority = c.priority;
        props.dwState = c.state;
        const MessageFilterFacts facts = DeriveMessageFilterFacts(props);
        EXPECT_EQ(facts.priorityCode, c.priorityCode);
        EXPECT_EQ(facts.statusCode, c.statusCode);
        EXPECT_EQ(facts.flagCode, c.flagCode);
    }
    const MessageFilterFacts facts = DeriveMessageFilterFacts(props);
    EXPECT_EQ(facts.sender, QString::fromUtf8("Jürgen"));
    EXPECT_EQ(facts.recipient, "Ann, Bob");
    EXPECT_EQ(facts.size, 2048u);
    EXPECT_EQ(facts.sentText, LocaleFormats::current().formatDateTime(props.ftSent.toLocalTime()));
    EXPECT_EQ(facts.receivedText, "Invalid DateTime");
    LocaleFormats::resetCurrent();
}
