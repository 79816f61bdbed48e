// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mork/MorkDocument.h"
#include "store/mork/MorkIdMap.h"
#include "store/mork/MorkSelection.h"

#include <QByteArrayView>
#include <QString>

namespace parcelo {

// Reads the text form of a Mork database (the mail client's folder index) into a document, or
// only the part of it that a selection names.
// A transaction group counts only once its commit mark is read: an aborted group, and one cut
// short by the end of the file, change nothing. Anything else the format does not allow, a
// reference to an undefined value, or more objects than the input's size can carry (for a
// selection, of those it keeps), fails the whole read, as the client then also rebuilds the
// index instead of reading it.
class MorkParser {
public:
    static bool parse(QByteArrayView bytes, MorkDocument* document, QString* error);
    static bool parse(QByteArrayView bytes, MorkSelection* selection, QString* error);
    // The value whose text starts at a position a target was given.
    static QByteArray text(QByteArrayView bytes, quint32 at);

private:
    struct Mid {
        quint32 id = 0;
        MorkToken scope = 0;
    };
    struct MetaCell {
        MorkToken column = 0;
        QByteArray text;
        bool isReference = false;
        Mid reference;
    };
    enum class RowPlace { Loose, InTable, InTableMeta };

    MorkParser(QByteArrayView bytes, MorkTarget* target);
    bool run(bool* settled);
    bool fail(const char* what);
    // The next byte, -1 at the end (after which unget still steps back).
    int get() { return pos_ < end_ ? uchar(in_[pos_++]) : (++pos_, -1); }
    void unget() { --pos_; }
    int next();
    bool skipComment();
    bool content(bool inGroup);
    bool group();
    bool dict();
    bool table();
    bool tableMeta(MorkOid table);
    bool row(int first, const MorkOid* table, RowPlace place, bool cut);
    bool cell(bool cut, MetaCell* meta);
    bool mid(Mid* out);
    bool hex(quint32* out);
    bool name(QByteArray* out);
    bool value(QByteArray* out);
    bool skipValue();
    MorkToken nameToken(const QByteArray& name);
    bool spend(qsizetype cost);

    QByteArrayView in_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    MorkTarget* target_;
    QString error_;
    qsizetype budget_;
    quint64 nextNameToken_ = quint64(1) << 32;
    MorkNames names_;
    MorkIdMap atoms_; // where each value's text starts
};

} // namespace parcelo
