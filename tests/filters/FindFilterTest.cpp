// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FindFilter.h"

#include "MakeFilter.h"

#include <gtest/gtest.h>

using parcelo::FiltersEqual;
using parcelo::FindFilter;
using parcelo::STR_FILTER_ITEM;

using parcelo::test::MakeFilter;

TEST(FiltersEqual, ComparesTheOperandOfTheCriterionKind) {
    const struct {
        STR_FILTER_ITEM a;
        STR_FILTER_ITEM b;
        bool equal;
    } cases[] = {
        {MakeFilter(0, 0, "abc", 1, 0, "", 0), MakeFilter(0, 0, "ABC", 0, 0, "", 0), true},
        {MakeFilter(0, 0, "abc", 0, 0, "", 0), MakeFilter(0, 1, "abc", 0, 0, "", 0), false},
        {MakeFilter(0, 0, "abc", 0, 0, "", 0), MakeFilter(1, 0, "abc", 0, 0, "", 0), false},
        {MakeFilter(1, 0, "Äbc", 0, 0, "", 0), MakeFilter(1, 0, "äbc", 0, 0, "", 0), false},
        {MakeFilter(2, 0, "x", 0, 5, "a", 1), MakeFilter(2, 0, "X", 0, 6, "b", 2), true},
        {MakeFilter(3, 0, "x", 0, 0, "8/28/2012", 0), MakeFilter(3, 0, "y", 0, 0, "8/28/2012", 0),
         true},
        {MakeFilter(4, 0, "", 0, 0, "28 aug 2012", 0), MakeFilter(4, 0, "", 0, 0, "28 AUG 2012", 0),
         true},
        {MakeFilter(4, 0, "", 0, 0, "8/28/2012", 0), MakeFilter(4, 0, "", 0, 0, "08/28/2012", 0),
         false},
        {MakeFilter(5, 3, "a", 0, 100, "", 0), MakeFilter(5, 3, "b", 0, 100, "", 1), true},
        {MakeFilter(5, 3, "", 0, 100, "", 0), MakeFilter(5, 3, "", 0, 101, "", 0), false},
        {MakeFilter(6, 0, "a", 0, 1, "", 2), MakeFilter(6, 0, "b", 0, 2, "", 2), true},
        {MakeFilter(7, 0, "", 0, 0, "", 0), MakeFilter(7, 0, "", 0, 0, "", 1), false},
        {MakeFilter(8, 1, "", 0, 0, "", 1), MakeFilter(8, 1, "", 0, 0, "", 1), true},
        {MakeFilter(42, 0, "a", 0, 1, "", 1), MakeFilter(42, 0, "A", 0, 2, "", 2), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a.Criteria << " '" << c.a.TextField.toStdString()
                                        << "' '" << c.b.TextField.toStdString() << "'");
        EXPECT_EQ(FiltersEqual(c.a, c.b), c.equal);
        EXPECT_EQ(FiltersEqual(c.b, c.a), c.equal);
    }
}

TEST(FindFilter, ReturnsTheFirstEqualFilter) {
    const QList<STR_FILTER_ITEM> list = {MakeFilter(1, 0, "a", 0, 0, "", 0),
                                         MakeFilter(0, 0, "ABC", 1, 0, "", 0),
                                         MakeFilter(0, 0, "abc", 0, 0, "", 0)};
    EXPECT_EQ(FindFilter(MakeFilter(0, 0, "abc", 1, 0, "", 0), list), 1);
    EXPECT_EQ(FindFilter(MakeFilter(0, 0, "abd", 0, 0, "", 0), list), -1);
    EXPECT_EQ(FindFilter(MakeFilter(0, 0, "abc", 0, 0, "", 0), {}), -1);
}
