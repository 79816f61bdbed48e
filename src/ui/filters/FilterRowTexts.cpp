// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filters/FilterRowTexts.h"

#include "filters/FilterCodes.h"

#include <QStringList>

namespace parcelo::ui {

namespace {

QString criterionText(int criteria) {
    static const QStringList labels = {QStringLiteral("Sender's Name"),
                                       QStringLiteral("Subject"),
                                       QStringLiteral("Recipient's Name"),
                                       QStringLiteral("Date - Sent"),
                                       QStringLiteral("Date - Received"),
                                       QStringLiteral("Size"),
                                       QStringLiteral("Priority"),
                                       QStringLiteral("Status"),
                                       QStringLiteral("Flag")};
    return labels.value(criteria);
}

QString operatorText(const STR_FILTER_ITEM& filter) {
    const FilterKind kind = CriterionKind(filter.Criteria);
    const QStringList texts = OperatorTexts(kind == FilterKind::Unknown ? FilterKind::Text : kind);
    if (kind == FilterKind::Text || kind == FilterKind::Unknown)
        return texts.value(filter.ConjunctionOption);
    // The other kinds show "is" for any code outside their list.
    return texts.value(filter.ConjunctionOption, texts.front());
}

QString valueText(const STR_FILTER_ITEM& filter) {
    switch (CriterionKind(filter.Criteria)) {
    case FilterKind::Date:
        return filter.Date;
    case FilterKind::Number:
        return QString::number(filter.NumericField) + QStringLiteral(" KB");
    case FilterKind::OrderedList:
    case FilterKind::List:
        return ValueTexts(filter.Criteria).value(filter.NumericValue);
    case FilterKind::Text:
    case FilterKind::Unknown:
        break;
    }
    return filter.TextField;
}

} // namespace

QString FilterRowText(const STR_FILTER_ITEM& filter, int column) {
    switch (column) {
    case 0:
        return criterionText(filter.Criteria);
    case 1:
        return operatorText(filter);
    case 2:
        return valueText(filter);
    default:
        return {};
    }
}

} // namespace parcelo::ui
