#pragma once

#include "store/mork/MorkDocument.h"

#include <QByteArrayView>
#include <QString>

namespace parcelo {

// Reads the text form of a Mork database (the mail client's folder index) into a document.
// A transaction group counts only once its commit mark is read: an aborted group, and one cut
// short by the end of the file, change nothing. Anything else the format does not allow, a
// reference to an undefined value, or more objects than the input's size can carry, fails the
// whole read, as the client then also rebuilds the index instead of reading it.
class MorkParser {
public:
    static bool parse(QByteArrayView bytes, MorkDocument* document, QString* error);

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

    MorkParser(QByteArrayView bytes, MorkDocument* document);
    bool run();
    bool fail(const char* what);
    int get();
    void unget() { --pos_; }
    int next();
    bool skipComment();
    bool content(bool inGroup);
    bool group();
    bool dict();
    bool table();
    bool tableMeta(MorkOid table);
    bool row(int first, const MorkOid* table, RowPlace place, bool cut);
    bool cell(MorkRow* row, bool cut, MetaCell* meta);
    bool mid(Mid* out);
    bool hex(quint32* out);
    bool name(QByteArray* out);
    bool value(QByteArray* out);
    MorkToken nameToken(const QByteArray& name);
    bool spend(qsizetype cost);
    void finish();

    QByteArrayView in_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
    MorkDocument* doc_;
    QString error_;
    qsizetype budget_;
    quint64 nextNameToken_ = quint64(1) << 32;
    quint64 sequence_ = 0;
    // Rows of each table with the order they were added in; cuts erase them.
    std::unordered_map<MorkOid, std::unordered_map<MorkOid, quint64, MorkOidHash>, MorkOidHash>
        members_;
};

} // namespace parcelo
