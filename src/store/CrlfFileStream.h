#pragma once

#include "store/IStoreStream.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace parcelo {

// Byte count of one raw line as a message source: a lone LF becomes CR LF and, for an mbox,
// a line of one or more '>' followed by "From " loses one '>'.
qint64 CanonicalLineSize(const char* line, qsizetype length, bool unescapeFrom);
void AppendCanonicalLine(QByteArray* out, const char* line, qsizetype length, bool unescapeFrom);

// Streams the bytes [begin, end) of a file, line by line, canonicalised as above. Holds at most
// one line in memory. A read error, a file that ends early or a result whose size differs from
// the size announced for the message makes Read fail.
class CrlfFileStream : public IStoreStream {
public:
    CrlfFileStream(const QString& path, qint64 begin, qint64 end, quint64 expectedSize,
                   bool unescapeFrom);

    bool open();
    HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) override;
    QString LastError() const override { return error_; }

private:
    bool fill();
    bool fail(const QString& reason);

    QFile file_;
    qint64 pos_;
    qint64 end_;
    quint64 expected_;
    quint64 produced_ = 0;
    bool unescapeFrom_;
    bool failed_ = false;
    QString error_;
    static constexpr qint64 kChunk = 65536;
    QByteArray buffer_;
    qsizetype bufferPos_ = 0;
    QByteArray pending_;
    qsizetype pendingPos_ = 0;
};

} // namespace parcelo
