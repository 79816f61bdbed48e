#include "filters/FindFilter.h"

#include <gtest/gtest.h>

using parcelo::FiltersEqual;
using parcelo::FindFilter;
using parcelo::STR_FILTER_ITEM;

namespace {

STR_FILTER_ITEM make(int criteria, int op, const char* text, int matchCase, int field,
                     const char* date, int value) {
    STR_FILTER_ITEM f;
    f.Criteria = criteria;
    f.ConjunctionOption = op;
    f.TextField = QString::fromUtf8(text);
    f.MatchCase = matchCase;
    f.NumericField = field;
    f.Date = QString::fromUtf8(date);
    f.NumericValue = value;
    return f;
}

} // namespace

TEST(FiltersEqual, ComparesTheOperandOfTheCriterionKind) {
    const struct {
        STR_FILTER_ITEM a;
        STR_FILTER_ITEM b;
        bool equal;
    } cases[] = {
        {make(0, 0, "abc", 1, 0, "", 0), make(0, 0, "ABC", 0, 0, "", 0), true},
        {make(0, 0, "abc", 0, 0, "", 0), make(0, 1, "abc", 0, 0, "", 0), false},
        {make(0, 0, "abc", 0, 0, "", 0), make(1, 0, "abc", 0, 0, "", 0), false},
        {make(1, 0, "Äbc", 0, 0, "", 0), make(1, 0, "äbc", 0, 0, "", 0), false},
        {make(2, 0, "x", 0, 5, "a", 1), make(2, 0, "X", 0, 6, "b", 2), true},
        {make(3, 0, "x", 0, 0, "8/28/2012", 0), make(3, 0, "y", 0, 0, "8/28/2012", 0), true},
        {make(4, 0, "", 0, 0, "28 aug 2012", 0), make(4, 0, "", 0, 0, "28 AUG 2012", 0), true},
        {make(4, 0, "", 0, 0, "8/28/2012", 0), make(4, 0, "", 0, 0, "08/28/2012", 0), false},
        {make(5, 3, "a", 0, 100, "", 0), make(5, 3, "b", 0, 100, "", 1), true},
        {make(5, 3, "", 0, 100, "", 0), make(5, 3, "", 0, 101, "", 0), false},
        {make(6, 0, "a", 0, 1, "", 2), make(6, 0, "b", 0, 2, "", 2), true},
        {make(7, 0, "", 0, 0, "", 0), make(7, 0, "", 0, 0, "", 1), false},
        {make(8, 1, "", 0, 0, "", 1), make(8, 1, "", 0, 0, "", 1), true},
        {make(42, 0, "a", 0, 1, "", 1), make(42, 0, "A", 0, 2, "", 2), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a.Criteria << " '" << c.a.TextField.toStdString()
                                        << "' '" << c.b.TextField.toStdString() << "'");
        EXPECT_EQ(FiltersEqual(c.a, c.b), c.equal);
        EXPECT_EQ(FiltersEqual(c.b, c.a), c.equal);
    }
}

TEST(FindFilter, ReturnsTheFirstEqualFilter) {
    const QList<STR_FILTER_ITEM> list = {make(1, 0, "a", 0, 0, "", 0),
                                         make(0, 0, "ABC", 1, 0, "", 0),
                                         make(0, 0, "abc", 0, 0, "", 0)};
    EXPECT_EQ(FindFilter(make(0, 0, "abc", 1, 0, "", 0), list), 1);
    EXPECT_EQ(FindFilter(make(0, 0, "abd", 0, 0, "", 0), list), -1);
    EXPECT_EQ(FindFilter(make(0, 0, "abc", 0, 0, "", 0), {}), -1);
}
