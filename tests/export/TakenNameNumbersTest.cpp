// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/TakenNameNumbers.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace parcelo;

// Names are remembered apart; a name whose slot another name took is forgotten, not confused.
TEST(TakenNameNumbers, RemembersNamesApartAndForgetsOnlyByLosingTheirSlot) {
    TakenNameNumbers numbers;
    EXPECT_TRUE(numbers.empty());
    EXPECT_EQ(numbers.next(QStringLiteral("/d/Hello.eml")), 0);
    numbers.remember(QStringLiteral("/d/Hello.eml"), 3);
    numbers.remember(QStringLiteral("/e/Hello.eml"), 7);
    EXPECT_EQ(numbers.next(QStringLiteral("/d/Hello.eml")), 3);
    EXPECT_EQ(numbers.next(QStringLiteral("/e/Hello.eml")), 7);
    EXPECT_EQ(numbers.next(QStringLiteral("/d/Other.eml")), 0);
    numbers.remember(QStringLiteral("/d/Hello.eml"), 4);
    EXPECT_EQ(numbers.next(QStringLiteral("/d/Hello.eml")), 4);

    // Find two names that share a slot: the later one takes it over.
    QHash<size_t, QString> bySlot;
    QString first;
    QString second;
    for (int i = 0; second.isEmpty(); ++i) {
        const QString name = QStringLiteral("/d/Name %1.eml").arg(i);
        numbers.remember(name, 2);
        for (auto it = bySlot.cbegin(); it != bySlot.cend(); ++it) {
            if (numbers.next(it.value()) == 0) { // its slot was just taken by name
                first = it.value();
                second = name;
                break;
            }
        }
        bySlot.insert(size_t(i), name);
        if (i > 100000)
            FAIL() << "no two names shared a slot";
    }
    EXPECT_EQ(numbers.next(first), 0);
    EXPECT_EQ(numbers.next(second), 2);

    // A name given out once (1) does not push out one found taken: a run of many unique names
    // would otherwise send every repeated name back to probing from the start.
    numbers.remember(first, 1);
    EXPECT_EQ(numbers.next(second), 2);
    EXPECT_EQ(numbers.next(first), 0);
    numbers.remember(second, 1);
    EXPECT_EQ(numbers.next(second), 1);
    numbers.remember(first, 1);
    EXPECT_EQ(numbers.next(first), 1);
}
