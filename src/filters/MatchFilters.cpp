// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/MatchFilters.h"

#include "filters/AsciiCase.h"
#include "filters/FilterCodes.h"
#include "filters/FilterRegExp.h"
#include "platform/LocaleFormats.h"

namespace parcelo {

namespace {

FilterOutcome outcome(bool matched) {
    return matched ? FilterOutcome::Match : FilterOutcome::Miss;
}

const QString& textFact(int criteria, const MessageFilterFacts& facts) {
    switch (criteria) {
    case CriteriaSender:
        return facts.sender;
    case CriteriaSubject:
        return facts.subject;
    default:
        return facts.recipient;
    }
}

FilterOutcome matchText(const STR_FILTER_ITEM& filter, const QString& fact) {
    if (fact.isEmpty() || filter.TextField.isEmpty())
        return FilterOutcome::Undecided;
    if (filter.ConjunctionOption == TextMatchesRegExp)
        return outcome(FilterRegExpSearch(filter.TextField, fact));

    const bool exact = filter.MatchCase != 0;
    const QString text = exact ? fact : AsciiLower(fact);
    const QString operand = exact ? filter.TextField : AsciiLower(filter.TextField);
    switch (filter.ConjunctionOption) {
    case TextContains:
        return outcome(text.contains(operand));
    case TextNotContains:
        return outcome(!text.contains(operand));
    case TextIs:
        return outcome(text == operand);
    case TextIsNot:
        return outcome(text != operand);
    case TextStartsWith:
        return outcome(text.startsWith(operand));
    case TextEndsWith:
        return outcome(text.endsWith(operand));
    default:
        return FilterOutcome::Undecided;
    }
}

FilterOutcome matchDate(const STR_FILTER_ITEM& filter, const QString& factText,
                        const LocaleFormats& formats) {
    const QDate messageDate = formats.parseDateOfDateTime(factText);
    const QDate operand = formats.parseDateOfDateTime(filter.Date);
    if (!messageDate.isValid() || !operand.isValid())
        return FilterOutcome::Undecided;
    switch (filter.ConjunctionOption) {
    case DateIs:
        return outcome(messageDate == operand);
    case DateIsNot:
        return outcome(messageDate != operand);
    case DateIsBefore:
        return outcome(messageDate < operand);
    case DateIsAfter:
        return outcome(messageDate > operand);
    default:
        return FilterOutcome::Undecided;
    }
}

FilterOutcome compareNumbers(int conjunction, qint64 value, qint64 operand) {
    switch (conjunction) {
    case NumberIs:
        return outcome(value == operand);
    case NumberIsNot:
        return outcome(value != operand);
    case NumberLessThan:
        return outcome(value < operand);
    case NumberGreaterThan:
        return outcome(value > operand);
    default:
        return FilterOutcome::Undecided;
    }
}

FilterOutcome compareCodes(int conjunction, int value, int operand) {
    switch (conjunction) {
    case ListIs:
        return outcome(value == operand);
    case ListIsNot:
        return outcome(value != operand);
    default:
        return FilterOutcome::Undecided;
    }
}

} // namespace

FilterOutcome MatchFilter(const STR_FILTER_ITEM& filter, const MessageFilterFacts& facts,
                          const LocaleFormats& formats) {
    switch (filter.Criteria) {
    case CriteriaSender:
    case CriteriaSubject:
    case CriteriaRecipient:
        return matchText(filter, textFact(filter.Criteria, facts));
    case CriteriaDateSent:
        return matchDate(filter, facts.sentText, formats);
    case CriteriaDateReceived:
        return matchDate(filter, facts.receivedText, formats);
    case CriteriaSize: {
        const auto kilobytes = qint64((facts.size + 1023) / 1024);
        return compareNumbers(filter.ConjunctionOption, kilobytes, filter.NumericField);
    }
    case CriteriaPriority:
        return compareNumbers(filter.ConjunctionOption, facts.priorityCode, filter.NumericValue);
    case CriteriaStatus:
        return compareCodes(filter.ConjunctionOption, facts.statusCode, filter.NumericValue);
    case CriteriaFlag:
        if (filter.NumericValue != 0 && filter.NumericValue != 1)
            return FilterOutcome::Undecided;
        return compareCodes(filter.ConjunctionOption, facts.flagCode, filter.NumericValue);
    default:
        return FilterOutcome::Undecided;
    }
}

bool MatchFilters(const FilterState& state, const MessageFilterFacts& facts) {
    if (state.suspended() || state.items.isEmpty())
        return true;
    if (facts.size == 0)
        return false;
    const LocaleFormats& formats = LocaleFormats::current();
    const bool all = state.matchAll();
    for (const STR_FILTER_ITEM& filter : state.items) {
        const FilterOutcome result = MatchFilter(filter, facts, formats);
        if (all && result == FilterOutcome::Miss)
            return false;
        if (!all && result == FilterOutcome::Match)
            return true;
    }
    return all;
}

} // namespace parcelo
