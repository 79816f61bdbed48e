// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirNameList.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace parcelo;

namespace {

using Named = std::pair<std::string, bool>; // name, in new/

// Names like a Maildir's, with repeats (the same name in new/ and cur/) and odd bytes.
std::vector<Named> Names(size_t count) {
    std::mt19937 rng(7);
    std::vector<Named> names;
    for (size_t i = 0; i < count; ++i) {
        std::string name = std::to_string(1200000000 + rng() % 5000) + ".M" +
                           std::to_string(rng() % 100000) + "P7.host";
        if (i % 7 == 0)
            name += std::string(1, char(0x80 + rng() % 0x7F)) + std::string(rng() % 200, 'z');
        if (i % 3 == 0)
            name += ":2,S";
        names.push_back({name, i % 10 == 0});
        if (i % 50 == 0)
            names.push_back({name, !names.back().second});
    }
    return names;
}

} // namespace

TEST(MaildirNameList, GivesNamesInByteOrderWhetherKeptInMemoryOrSpilled) {
    const std::vector<Named> names = Names(6000);
    std::vector<Named> expected = names;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const Named& a, const Named& b) { return a.first < b.first; });
    for (const qsizetype memory : {qsizetype(1) << 30, qsizetype(4096), qsizetype(300)}) {
        SCOPED_TRACE(memory);
        MaildirNameList list(memory);
        QString error;
        for (const auto& [name, inNew] : names)
            ASSERT_TRUE(list.add(name, inNew, &error)) << error.toStdString();
        ASSERT_TRUE(list.finish(&error)) << error.toStdString();
        ASSERT_EQ(list.size(), expected.size());
        QByteArray name;
        bool inNew = false;
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(list.at(i, &name, &inNew, &error)) << error.toStdString();
            ASSERT_EQ(name.toStdString(), expected[i].first) << i;
            ASSERT_EQ(inNew, expected[i].second) << i;
        }
        // Out of order too, as the actions after an export and problem texts ask.
        std::mt19937 rng(3);
        for (int k = 0; k < 2000; ++k) {
            const size_t i = rng() % expected.size();
            ASSERT_TRUE(list.at(i, &name, &inNew, &error));
            ASSERT_EQ(name.toStdString(), expected[i].first) << i;
        }
        list.replace(5, "renamed:2,S", false);
        ASSERT_TRUE(list.at(5, &name, &inNew, &error));
        EXPECT_EQ(name, QByteArray("renamed:2,S"));
        EXPECT_FALSE(inNew);
        ASSERT_TRUE(list.at(6, &name, &inNew, &error));
        EXPECT_EQ(name.toStdString(), expected[6].first);
    }
}

TEST(MaildirNameList, AnEmptyListHasNoNames) {
    MaildirNameList list(300);
    QString error;
    ASSERT_TRUE(list.finish(&error));
    EXPECT_EQ(list.size(), 0u);
}
