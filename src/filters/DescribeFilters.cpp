// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/DescribeFilters.h"

#include "filters/FilterCodes.h"

namespace parcelo {

namespace {

// "contains: " and the like; nothing for a code outside the kind's list.
QString operatorText(FilterKind kind, int conjunction) {
    const QStringList texts = OperatorTexts(kind);
    if (conjunction < 0 || conjunction >= texts.size())
        return {};
    return texts[conjunction] + QStringLiteral(": ");
}

QString textLabel(int criteria) {
    switch (criteria) {
    case CriteriaSender:
        return QStringLiteral("\r\n\tSender's name or e-mail address ");
    case CriteriaSubject:
        return QStringLiteral("\r\n\tSubject ");
    case CriteriaRecipient:
        return QStringLiteral("\r\n\tRecipient's name or e-mail address ");
    default:
        return {};
    }
}

QString describeText(const STR_FILTER_ITEM& filter) {
    QString entry = textLabel(filter.Criteria) +
                    operatorText(FilterKind::Text, filter.ConjunctionOption) + QLatin1Char('\'') +
                    filter.TextField + QLatin1Char('\'');
    if (filter.MatchCase == 1)
        entry += QStringLiteral(" (Case Sensitive)");
    return entry;
}

QString describe(const STR_FILTER_ITEM& filter) {
    const FilterKind kind = CriterionKind(filter.Criteria);
    const QString op = operatorText(kind, filter.ConjunctionOption);
    switch (filter.Criteria) {
    case CriteriaDateSent:
        return QStringLiteral("\r\n\tDate - Sent ") + op + filter.Date;
    case CriteriaDateReceived:
        return QStringLiteral("\r\n\tDate - Received ") + op + filter.Date;
    case CriteriaSize:
        return QStringLiteral("\r\n\tSize ") + op + QString::number(filter.NumericField) +
               QStringLiteral(" KB");
    case CriteriaPriority:
        return QStringLiteral("\r\n\tPriority ") + op +
               (filter.NumericValue == 2   ? QStringLiteral("High")
                : filter.NumericValue == 1 ? QStringLiteral("Normal")
                                           : QStringLiteral("Low"));
    case CriteriaStatus:
        return QStringLiteral("\r\n\tStatus ") + op +
               (filter.NumericValue == 1 ? QStringLiteral("Read") : QStringLiteral("Unread"));
    case CriteriaFlag:
        return QStringLiteral("\r\n\tFlag ") + op +
               (filter.NumericValue == 1 ? QStringLiteral("Present")
                                         : QStringLiteral("Not Present"));
    default:
        return describeText(filter);
    }
}

} // namespace

QString DescribeFilters(const FilterState& state) {
    if (state.suspended() || state.items.isEmpty())
        return QStringLiteral("None");
    QString text;
    for (const STR_FILTER_ITEM& filter : state.items)
        text += describe(filter);
    text += QStringLiteral("\r\nMatch: ");
    text += state.matchAll() ? QStringLiteral("All Filters")
                             : QStringLiteral("Any Filter (At least one filter)");
    return text;
}

} // namespace parcelo
