// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"

#include <QList>
#include <QString>

namespace parcelo {

// The file of the current filter set in the application folder.
inline const QString kFiltersFileName = QStringLiteral("Filters.xml");

struct FilterSetLoadResult {
    enum Status {
        Loaded,       // a filter set was read (it may hold no filters)
        Unreadable,   // missing, not a file, or could not be read
        NotFilterSet, // readable, but without the "filters" and "body" elements
    };
    Status status = Loaded;
    QString errorText; // why, for Unreadable and NotFilterSet

    bool ok() const { return status == Loaded; }
};

// Reads a filter-set file into the list, replacing it or, with append, adding to it. Reading
// is lenient: damaged XML, unknown elements, missing attributes and odd numbers are taken as
// well as they can be; filters equal to one already in the list are dropped. Whatever the
// result, a replaced list holds only what the file gave (nothing when it gave nothing).
FilterSetLoadResult LoadFilterSet(const QString& path, QList<STR_FILTER_ITEM>& list,
                                  bool append = false);

// The whole text of a filter-set file for the list: UTF-8, CR LF line ends.
QString FilterSetText(const QList<STR_FILTER_ITEM>& list);

// Writes the list to the file, all at once: a failed write leaves the old file as it was.
bool SaveFilterSet(const QString& path, const QList<STR_FILTER_ITEM>& list,
                   QString* errorText = nullptr);

} // namespace parcelo
