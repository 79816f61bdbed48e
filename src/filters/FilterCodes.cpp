// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FilterCodes.h"

namespace parcelo {

FilterKind CriterionKind(int criteria) {
    switch (criteria) {
    case CriteriaSender:
    case CriteriaSubject:
    case CriteriaRecipient:
        return FilterKind::Text;
    case CriteriaDateSent:
    case CriteriaDateReceived:
        return FilterKind::Date;
    case CriteriaSize:
        return FilterKind::Number;
    case CriteriaPriority:
        return FilterKind::OrderedList;
    case CriteriaStatus:
    case CriteriaFlag:
        return FilterKind::List;
    default:
        return FilterKind::Unknown;
    }
}

QStringList CriteriaLabels() {
    return {QStringLiteral("Sender's Name"),
            QStringLiteral("Subject"),
            QStringLiteral("Recipient's Name"),
            QStringLiteral("Date - Sent"),
            QStringLiteral("Date - Received"),
            QStringLiteral("Size (KB)"),
            QStringLiteral("Priority"),
            QStringLiteral("Status"),
            QStringLiteral("Flag")};
}

QStringList OperatorTexts(FilterKind kind) {
    switch (kind) {
    case FilterKind::Text:
        return {QStringLiteral("contains"),
                QStringLiteral("does not contain"),
                QStringLiteral("is"),
                QStringLiteral("is not"),
                QStringLiteral("starts with"),
                QStringLiteral("ends with"),
                QStringLiteral("matches RegExp")};
    case FilterKind::Date:
        return {QStringLiteral("is"), QStringLiteral("is not"), QStringLiteral("is before"),
                QStringLiteral("is after")};
    case FilterKind::Number:
    case FilterKind::OrderedList:
        return {QStringLiteral("is"), QStringLiteral("is not"), QStringLiteral("is less than"),
                QStringLiteral("is greater than")};
    case FilterKind::List:
        return {QStringLiteral("is"), QStringLiteral("is not")};
    case FilterKind::Unknown:
        break;
    }
    return {};
}

QStringList ValueTexts(int criteria) {
    switch (criteria) {
    case CriteriaPriority:
        return {QStringLiteral("Low"), QStringLiteral("Normal"), QStringLiteral("High")};
    case CriteriaStatus:
        return {QStringLiteral("Unread"), QStringLiteral("Read")};
    case CriteriaFlag:
        return {QStringLiteral("Not Present"), QStringLiteral("Present")};
    default:
        return {};
    }
}

} // namespace parcelo
