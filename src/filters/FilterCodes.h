// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// Criteria codes, in the order of the editor's field list.
enum FilterCriteria {
    CriteriaSender = 0,
    CriteriaSubject = 1,
    CriteriaRecipient = 2,
    CriteriaDateSent = 3,
    CriteriaDateReceived = 4,
    CriteriaSize = 5,
    CriteriaPriority = 6,
    CriteriaStatus = 7,
    CriteriaFlag = 8,
};

enum class FilterKind { Text, Date, Number, OrderedList, List, Unknown };

// Operator codes (ConjunctionOption) by kind.
enum TextOperator {
    TextContains = 0,
    TextNotContains = 1,
    TextIs = 2,
    TextIsNot = 3,
    TextStartsWith = 4,
    TextEndsWith = 5,
    TextMatchesRegExp = 6,
};
enum DateOperator { DateIs = 0, DateIsNot = 1, DateIsBefore = 2, DateIsAfter = 3 };
enum NumberOperator { NumberIs = 0, NumberIsNot = 1, NumberLessThan = 2, NumberGreaterThan = 3 };
enum ListOperator { ListIs = 0, ListIsNot = 1 };

FilterKind CriterionKind(int criteria);

// The editor's field list: "Sender's Name" to "Flag".
QStringList CriteriaLabels();
// The editor's operator list of a kind; empty for FilterKind::Unknown.
QStringList OperatorTexts(FilterKind kind);
// The value list of the list criteria ("Low", "Normal", "High" for priority); empty for others.
QStringList ValueTexts(int criteria);

} // namespace parcelo
