// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/MatchFilters.h"

#include "filters/FilterRegExp.h"
#include "platform/LocaleFormats.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using parcelo::FilterOutcome;
using parcelo::FilterState;
using parcelo::LocaleFormats;
using parcelo::MatchFilter;
using parcelo::MatchFilters;
using parcelo::MessageFilterFacts;
using parcelo::STR_FILTER_ITEM;

namespace {

constexpr FilterOutcome Match = FilterOutcome::Match;
constexpr FilterOutcome Miss = FilterOutcome::Miss;
constexpr FilterOutcome Undecided = FilterOutcome::Undecided;

STR_FILTER_ITEM filter(int criteria, int op, const QString& text = {}, int matchCase = 0) {
    STR_FILTER_ITEM f;
    f.Criteria = criteria;
    f.ConjunctionOption = op;
    f.TextField = text;
    f.MatchCase = matchCase;
    return f;
}

STR_FILTER_ITEM numeric(int criteria, int op, int field, int value) {
    STR_FILTER_ITEM f = filter(criteria, op);
    f.NumericField = field;
    f.NumericValue = value;
    return f;
}

MessageFilterFacts message() {
    MessageFilterFacts facts;
    facts.sender = "ANNA Smith";
    facts.subject = "Paid INV42 today";
    facts.recipient = QString::fromUtf8("Äbel Ökonom");
    facts.size = 2048;
    facts.priorityCode = 1;
    facts.statusCode = 0;
    facts.flagCode = 1;
    return facts;
}

const LocaleFormats& usFormats() {
    static const LocaleFormats formats{QLocale(QLocale::English, QLocale::UnitedStates)};
    return formats;
}

const char* name(FilterOutcome outcome) {
    return outcome == Match ? "Match" : outcome == Miss ? "Miss" : "Undecided";
}

} // namespace

TEST(MatchFilter, TextOperatorsAndAsciiFolding) {
    const struct {
        int criteria;
        int op;
        const char* text;
        int matchCase;
        FilterOutcome expected;
    } cases[] = {
        {0, 0, "ann", 0, Match},        {0, 0, "ann", 1, Miss},
        {0, 0, "ANN", 1, Match},        {0, 1, "ann", 0, Miss},
        {0, 1, "bob", 0, Match},        {0, 2, "anna smith", 0, Match},
        {0, 2, "anna", 0, Miss},        {0, 3, "anna", 0, Match},
        {0, 3, "Anna Smith", 0, Miss},  {0, 3, "Anna Smith", 1, Match},
        {0, 4, "anna s", 0, Match},     {0, 4, "smith", 0, Miss},
        {0, 5, "SMITH", 0, Match},      {0, 5, "ANNA Smith and more", 0, Miss},
        {0, 7, "anna", 0, Undecided},   {0, -1, "anna", 0, Undecided},
        {1, 0, "inv42", 0, Match},      {1, 0, "inv42", 5, Miss}, // any non-zero MatchCase
        {2, 0, "äbel", 0, Miss},        {2, 0, "Äbel", 0, Match}, // Ä is not folded
        {2, 2, "Äbel ökonom", 0, Miss}, {2, 4, "äBEL", 0, Miss},
        {2, 4, "ÄBEL", 0, Match},
    };
    const MessageFilterFacts facts = message();
    for (const auto& c : cases) {
        const STR_FILTER_ITEM f = filter(c.criteria, c.op, QString::fromUtf8(c.text), c.matchCase);
        SCOPED_TRACE(testing::Message() << c.criteria << " op " << c.op << " '" << c.text << "'");
        EXPECT_STREQ(name(MatchFilter(f, facts, usFormats())), name(c.expected));
    }
}

TEST(MatchFilter, EmptyFactOrOperandIsUndecided) {
    MessageFilterFacts facts = message();
    facts.subject.clear();
    for (int op = 0; op <= 6; ++op) {
        EXPECT_EQ(MatchFilter(filter(1, op, "x"), facts, usFormats()), Undecided) << op;
        EXPECT_EQ(MatchFilter(filter(0, op, ""), facts, usFormats()), Undecided) << op;
    }
}

TEST(MatchFilter, RegExpSearchesIgnoringCaseWithThePatternAsWritten) {
    const struct {
        const char* pattern;
        int matchCase;
        FilterOutcome expected;
    } cases[] = {
        {"inv[0-9]+", 0, Match},
        {"inv[0-9]+", 1, Match}, // case is always ignored
        {"^inv", 0, Miss},       // a search, anchors still count
        {"INV\\d+\\s", 0, Match},
        // Lower-casing the pattern would turn \D, \S, \W, \B into their opposites.
        {"INV\\D", 0, Miss},
        {"\\S+\\sINV\\d\\d\\s\\S+", 0, Match},
        {"\\W", 0, Match},
        {"\\Bnv", 0, Match},
        {"inv(", 0, Miss},
        {"[", 0, Miss},
        {"(?<=paid )inv", 0, Match},
    };
    const MessageFilterFacts facts = message();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_STREQ(name(MatchFilter(filter(1, 6, QString::fromUtf8(c.pattern), c.matchCase),
                                      facts, usFormats())),
                     name(c.expected));
    }
    EXPECT_TRUE(parcelo::IsValidFilterRegExp("inv[0-9]+"));
    EXPECT_FALSE(parcelo::IsValidFilterRegExp("inv("));
}

TEST(MatchFilter, RegExpGivesUpOnCatastrophicBacktracking) {
    MessageFilterFacts facts = message();
    facts.subject = QString(30000, QLatin1Char('a')) + QLatin1Char('!');
    EXPECT_EQ(MatchFilter(filter(1, 6, "^(a|aa)+$"), facts, usFormats()), Miss);
    EXPECT_EQ(MatchFilter(filter(1, 6, "(\\w+\\s?)+$"), facts, usFormats()), Miss);
    EXPECT_EQ(MatchFilter(filter(1, 6, "a!"), facts, usFormats()), Match);
    // A pattern cannot lift the engine's limits again.
    EXPECT_EQ(MatchFilter(filter(1, 6, "(*LIMIT_MATCH=100000000)^(a|aa)+$"), facts, usFormats()),
              Miss);
}

TEST(MatchFilter, SizeRoundsUpToKilobytes) {
    const struct {
        std::uint64_t bytes;
        int op;
        int kilobytes;
        FilterOutcome expected;
    } cases[] = {
        {1, 0, 1, Match},
        {1024, 0, 1, Match},
        {1025, 0, 1, Miss},
        {1025, 3, 1, Match},
        {1024, 3, 1, Miss},
        {1025, 0, 2, Match},
        {2048, 1, 2, Miss},
        {2049, 1, 2, Match},
        {1024, 2, 2, Match},
        {2048, 2, 2, Miss},
        {1, 4, 1, Undecided},
        {1, -1, 1, Undecided},
        {5000000000000ULL, 3, 2147483647, Match}, // KB beyond 32 bits
    };
    MessageFilterFacts facts = message();
    for (const auto& c : cases) {
        facts.size = c.bytes;
        SCOPED_TRACE(testing::Message() << c.bytes << " op " << c.op << " " << c.kilobytes);
        EXPECT_STREQ(name(MatchFilter(numeric(5, c.op, c.kilobytes, 0), facts, usFormats())),
                     name(c.expected));
    }
}

TEST(MatchFilter, PriorityStatusAndFlagCodes) {
    const struct {
        int criteria;
        int op;
        int value;
        int messageCode;
        FilterOutcome expected;
    } cases[] = {
        {6, 3, 1, 2, Match},      {6, 3, 1, 1, Miss},      {6, 2, 1, 0, Match},
        {6, 0, 2, 2, Match},      {6, 1, 2, 2, Miss},      {6, 0, 7, 2, Miss},
        {6, 2, 7, 2, Match},      {6, 4, 1, 1, Undecided}, {7, 0, 1, 1, Match},
        {7, 0, 0, 1, Miss},       {7, 1, 0, 1, Match},     {7, 0, 5, 1, Miss},
        {7, 1, 5, 1, Match},      {7, 2, 1, 1, Undecided}, {8, 1, 1, 0, Match},
        {8, 1, 1, 1, Miss},       {8, 0, 1, 1, Match},     {8, 0, 2, 1, Undecided},
        {8, 1, -1, 1, Undecided}, {8, 2, 1, 1, Undecided}, {9, 0, 1, 1, Undecided},
        {-1, 0, 1, 1, Undecided},
    };
    for (const auto& c : cases) {
        MessageFilterFacts facts = message();
        facts.priorityCode = facts.statusCode = facts.flagCode = c.messageCode;
        SCOPED_TRACE(testing::Message() << c.criteria << " op " << c.op << " value " << c.value
                                        << " message " << c.messageCode);
        EXPECT_STREQ(name(MatchFilter(numeric(c.criteria, c.op, 0, c.value), facts, usFormats())),
                     name(c.expected));
    }
}

TEST(MatchFilter, DatesInDayFirstAndMonthFirstLocales) {
    const struct {
        QLocale locale;
        const char* day;      // 28 August 2012 in the locale's short date
        const char* otherDay; // the same text under the other locale
    } locales[] = {
        {QLocale(QLocale::German, QLocale::Germany), "28.08.2012", "8/28/2012"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "8/28/2012", "28.08.2012"},
    };
    for (const auto& l : locales) {
        const LocaleFormats formats{l.locale};
        SCOPED_TRACE(l.day);
        ASSERT_EQ(formats.formatDate(QDate(2012, 8, 28)), QString::fromLatin1(l.day));
        const struct {
            QDateTime sent;
            int op;
            FilterOutcome expected;
        } cases[] = {
            {QDateTime(QDate(2012, 8, 28), QTime(0, 0)), 0, Match},
            {QDateTime(QDate(2012, 8, 28), QTime(23, 59)), 0, Match},
            {QDateTime(QDate(2012, 8, 29), QTime(0, 0)), 0, Miss},
            {QDateTime(QDate(2012, 8, 29), QTime(0, 0)), 1, Match},
            {QDateTime(QDate(2012, 8, 28), QTime(12, 0)), 2, Miss},
            {QDateTime(QDate(2012, 8, 27), QTime(23, 59)), 2, Match},
            {QDateTime(QDate(2012, 8, 28), QTime(12, 0)), 3, Miss},
            {QDateTime(QDate(2013, 1, 1), QTime(1, 0)), 3, Match},
            {QDateTime(QDate(2012, 8, 28), QTime(12, 0)), 4, Undecided},
            {QDateTime(), 0, Undecided}, // "Invalid DateTime"
            {QDateTime(), 1, Undecided},
        };
        for (const auto& c : cases) {
            MessageFilterFacts facts = message();
            facts.sentText = formats.formatDateTime(c.sent);
            facts.receivedText = formats.formatDateTime(c.sent);
            SCOPED_TRACE(facts.sentText.toStdString() + " op " + std::to_string(c.op));
            for (int criteria : {3, 4}) {
                STR_FILTER_ITEM f = filter(criteria, c.op);
                f.Date = QString::fromLatin1(l.day);
                EXPECT_STREQ(name(MatchFilter(f, facts, formats)), name(c.expected));
            }
        }
        MessageFilterFacts facts = message();
        facts.sentText = formats.formatDateTime(QDateTime(QDate(2012, 8, 28), QTime(9, 0)));
        STR_FILTER_ITEM foreign = filter(3, 0);
        foreign.Date = QString::fromLatin1(l.otherDay);
        EXPECT_EQ(MatchFilter(foreign, facts, formats), Undecided);
        foreign.Date = QString();
        EXPECT_EQ(MatchFilter(foreign, facts, formats), Undecided);
    }
}

TEST(MatchFilters, ModesUndecidedFiltersAndTheOrderOfChecks) {
    MessageFilterFacts noSubject = message();
    noSubject.subject.clear();
    MessageFilterFacts empty = message();
    empty.size = 0;
    const STR_FILTER_ITEM containsX = filter(1, 0, "x");
    const STR_FILTER_ITEM fromAnna = filter(0, 0, "anna");
    const STR_FILTER_ITEM fromBob = filter(0, 0, "bob");
    const struct {
        const char* what;
        QList<STR_FILTER_ITEM> items;
        int all;
        int suspended;
        MessageFilterFacts facts;
        bool passes;
    } cases[] = {
        {"empty list", {}, 0, 0, message(), true},
        {"empty list, 0 bytes", {}, 1, 0, empty, true},
        {"suspended, 0 bytes", {fromBob}, 0, 1, empty, true},
        {"suspended with a miss", {fromBob}, 1, 1, message(), true},
        {"0 bytes, Any", {fromAnna}, 0, 0, empty, false},
        {"0 bytes, All", {fromAnna}, 1, 0, empty, false},
        {"undecided only, All", {containsX}, 1, 0, noSubject, true},
        {"undecided only, Any", {containsX}, 0, 0, noSubject, false},
        {"Any: one match", {fromBob, fromAnna}, 0, 0, message(), true},
        {"Any: no match", {fromBob}, 0, 0, message(), false},
        {"All: one miss", {fromAnna, fromBob}, 1, 0, message(), false},
        {"All: undecided and match", {containsX, fromAnna}, 1, 0, noSubject, true},
        {"other mode value is Any", {fromBob, fromAnna}, 2, 0, message(), true},
        {"other suspended value", {fromBob}, 0, 2, message(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FilterState state;
        state.items = c.items;
        state.MatchAllFilters = c.all;
        state.MatchAllMessages = c.suspended;
        EXPECT_EQ(MatchFilters(state, c.facts), c.passes);
    }
}

TEST(MatchFilters, ReadsDatesInTheUsersFormats) {
    LocaleFormats::setCurrent(QLocale(QLocale::German, QLocale::Germany));
    MessageFilterFacts facts = message();
    facts.sentText =
        LocaleFormats::current().formatDateTime(QDateTime(QDate(2012, 8, 28), QTime(17, 30)));
    STR_FILTER_ITEM sent = filter(3, 0);
    sent.Date = "28.08.2012";
    FilterState state;
    state.items = {sent};
    EXPECT_TRUE(MatchFilters(state, facts));
    LocaleFormats::setCurrent(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_FALSE(MatchFilters(state, facts)); // undecided in mode Any
    LocaleFormats::resetCurrent();
}
