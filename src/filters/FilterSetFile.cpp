// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FilterSetFile.h"

#include "filters/FindFilter.h"
#include "filters/XmlDoc.h"

#include <limits>

namespace parcelo {

namespace {

const QString kCriteria = QStringLiteral("Criteria");
const QString kConjunctionOption = QStringLiteral("ConjunctionOption");
const QString kTextField = QStringLiteral("TextField");
const QString kMatchCase = QStringLiteral("MatchCase");
const QString kNumericField = QStringLiteral("NumericField");
const QString kDate = QStringLiteral("Date");
const QString kNumericValue = QStringLiteral("NumericValue");

// As a hand-edited file is read: "" gives -1, " 2 " gives 2, "12abc" 12, "abc" 0.
int readNumber(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return -1;
    qsizetype pos = 0;
    bool negative = false;
    if (text[0] == u'+' || text[0] == u'-') {
        negative = text[0] == u'-';
        ++pos;
    }
    qint64 number = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        number = number * 10 + (text[pos].unicode() - u'0');
        if (number > qint64(std::numeric_limits<int>::max()) + 1)
            number = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negative)
        number = -number;
    return int(qBound(qint64(std::numeric_limits<int>::min()), number,
                      qint64(std::numeric_limits<int>::max())));
}

STR_FILTER_ITEM readFilter(const XmlDoc& doc, int element) {
    STR_FILTER_ITEM filter;
    filter.Criteria = readNumber(doc.GetAttribute(element, kCriteria));
    filter.ConjunctionOption = readNumber(doc.GetAttribute(element, kConjunctionOption));
    filter.TextField = doc.GetAttribute(element, kTextField);
    filter.MatchCase = readNumber(doc.GetAttribute(element, kMatchCase));
    filter.NumericField = readNumber(doc.GetAttribute(element, kNumericField));
    filter.Date = doc.GetAttribute(element, kDate);
    filter.NumericValue = readNumber(doc.GetAttribute(element, kNumericValue));
    return filter;
}

} // namespace

FilterSetLoadResult LoadFilterSet(const QString& path, QList<STR_FILTER_ITEM>& list, bool append) {
    if (!append)
        list.clear();
    XmlDoc doc;
    doc.LoadFile(path);
    if (doc.FileReadFailed())
        return {FilterSetLoadResult::Unreadable, doc.ResultText()};
    doc.ResetPosition();
    if (!doc.FindElement(QStringLiteral("filters")) || !doc.EnterElement() ||
        !doc.FindElement(QStringLiteral("body")) || !doc.EnterElement()) {
        return {FilterSetLoadResult::NotFilterSet, QStringLiteral("No filter set in the file")};
    }
    while (doc.FindElement(QStringLiteral("filter"))) {
        const STR_FILTER_ITEM filter = readFilter(doc, doc.GetMainIndex());
        if (FindFilter(filter, list) < 0)
            list.append(filter);
    }
    doc.LeaveElement();
    return {};
}

namespace {

// The file as it is always written: declaration, head, body, one line a filter.
void buildFilterSet(XmlDoc& doc, const QList<STR_FILTER_ITEM>& list) {
    doc.SetDocumentText(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\r\n"));
    doc.AddElement(QStringLiteral("filters"));
    doc.AddChildElement(QStringLiteral("head"));
    doc.EnterElement();
    doc.AddChildElement(QStringLiteral("title"), QStringLiteral("Filters"));
    doc.LeaveElement();
    doc.AddChildElement(QStringLiteral("body"));

    doc.ResetPosition();
    doc.FindElement(QStringLiteral("filters"));
    doc.EnterElement();
    doc.FindElement(QStringLiteral("body"));
    doc.EnterElement();
    for (const STR_FILTER_ITEM& filter : list) {
        doc.AddElement(QStringLiteral("filter"));
        const int element = doc.GetMainIndex();
        doc.SetAttribute(element, kCriteria, filter.Criteria);
        doc.SetAttribute(element, kConjunctionOption, filter.ConjunctionOption);
        doc.SetAttribute(element, kTextField, filter.TextField);
        doc.SetAttribute(element, kMatchCase, filter.MatchCase);
        doc.SetAttribute(element, kNumericField, filter.NumericField);
        doc.SetAttribute(element, kDate, filter.Date);
        doc.SetAttribute(element, kNumericValue, filter.NumericValue);
    }
    doc.LeaveElement();
}

} // namespace

QString FilterSetText(const QList<STR_FILTER_ITEM>& list) {
    XmlDoc doc;
    buildFilterSet(doc, list);
    return doc.GetDocumentText();
}

bool SaveFilterSet(const QString& path, const QList<STR_FILTER_ITEM>& list, QString* errorText) {
    XmlDoc doc;
    buildFilterSet(doc, list);
    const bool saved = doc.SaveFile(path);
    if (!saved && errorText)
        *errorText = doc.ResultText();
    return saved;
}

} // namespace parcelo
