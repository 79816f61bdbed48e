// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/DescribeFilters.h"

#include "MakeFilter.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using parcelo::DescribeFilters;
using parcelo::FilterState;
using parcelo::STR_FILTER_ITEM;

namespace {

using parcelo::test::MakeFilter;

QString describeOne(const STR_FILTER_ITEM& filter) {
    FilterState state;
    state.items = {filter};
    const QString text = DescribeFilters(state);
    return text.left(text.indexOf(QStringLiteral("\r\nMatch: ")));
}

} // namespace

TEST(DescribeFilters, TheExampleSetInModeAll) {
    FilterState state;
    state.items = {MakeFilter(1, 0, "invoice", 1), MakeFilter(5, 3, "", 0, 100)};
    state.MatchAllFilters = 1;
    EXPECT_EQ("\r\nApplied Filter(s): " + DescribeFilters(state),
              "\r\nApplied Filter(s): \r\n\tSubject contains: 'invoice' (Case Sensitive)"
              "\r\n\tSize is greater than: 100 KB\r\nMatch: All Filters");
    state.MatchAllFilters = 0;
    EXPECT_TRUE(DescribeFilters(state).endsWith("\r\nMatch: Any Filter (At least one filter)"));
    state.MatchAllMessages = 1;
    EXPECT_EQ(DescribeFilters(state), "None");
    EXPECT_EQ(DescribeFilters(FilterState()), "None");
}

TEST(DescribeFilters, EveryCriterionOperatorAndValue) {
    const struct {
        STR_FILTER_ITEM filter;
        const char* text;
    } cases[] = {
        {MakeFilter(0, 0, "ann"), "\r\n\tSender's name or e-mail address contains: 'ann'"},
        {MakeFilter(0, 1, "ann", 2),
         "\r\n\tSender's name or e-mail address does not contain: 'ann'"},
        {MakeFilter(1, 2, "x"), "\r\n\tSubject is: 'x'"},
        {MakeFilter(1, 3, "x"), "\r\n\tSubject is not: 'x'"},
        {MakeFilter(2, 4, "x", 1),
         "\r\n\tRecipient's name or e-mail address starts with: 'x' (Case Sensitive)"},
        {MakeFilter(2, 5, "x"), "\r\n\tRecipient's name or e-mail address ends with: 'x'"},
        {MakeFilter(1, 6, "inv[0-9]+"), "\r\n\tSubject matches RegExp: 'inv[0-9]+'"},
        {MakeFilter(1, 7, "x"), "\r\n\tSubject 'x'"},
        {MakeFilter(3, 0, "", 0, 0, "8/28/2012"), "\r\n\tDate - Sent is: 8/28/2012"},
        {MakeFilter(3, 1, "", 0, 0, "8/28/2012"), "\r\n\tDate - Sent is not: 8/28/2012"},
        {MakeFilter(4, 2, "", 0, 0, "28.08.2012"), "\r\n\tDate - Received is before: 28.08.2012"},
        {MakeFilter(4, 3, "", 0, 0, "28.08.2012"), "\r\n\tDate - Received is after: 28.08.2012"},
        {MakeFilter(4, 4, "", 0, 0, "28.08.2012"), "\r\n\tDate - Received 28.08.2012"},
        {MakeFilter(5, 0, "", 0, 1), "\r\n\tSize is: 1 KB"},
        {MakeFilter(5, 1, "", 0, -1), "\r\n\tSize is not: -1 KB"},
        {MakeFilter(5, 2, "", 0, 10), "\r\n\tSize is less than: 10 KB"},
        {MakeFilter(6, 3, "", 0, 0, "", 1), "\r\n\tPriority is greater than: Normal"},
        {MakeFilter(6, 0, "", 0, 0, "", 2), "\r\n\tPriority is: High"},
        {MakeFilter(6, 2, "", 0, 0, "", 7), "\r\n\tPriority is less than: Low"},
        {MakeFilter(7, 0, "", 0, 0, "", 1), "\r\n\tStatus is: Read"},
        {MakeFilter(7, 1, "", 0, 0, "", 0), "\r\n\tStatus is not: Unread"},
        {MakeFilter(7, 2, "", 0, 0, "", 5), "\r\n\tStatus Unread"},
        {MakeFilter(8, 0, "", 0, 0, "", 1), "\r\n\tFlag is: Present"},
        {MakeFilter(8, 1, "", 0, 0, "", 3), "\r\n\tFlag is not: Not Present"},
        {MakeFilter(9, 0, "odd", 1), "contains: 'odd' (Case Sensitive)"},
        {MakeFilter(-1, 9, "odd"), "'odd'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(describeOne(c.filter), QString::fromUtf8(c.text));
    }
}
