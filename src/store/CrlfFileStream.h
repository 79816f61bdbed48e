// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/CrlfCanonicalizer.h"
#include "store/IStoreStream.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

// Streams the bytes [begin, end) of a file canonicalised (see CrlfCanonicalizer), in chunks of
// fixed size whatever the line length. A read error, a file that ends early or a result whose
// size differs from the size announced for the message makes Read fail.
class CrlfFileStream : public IStoreStream {
public:
    // The file that has the path when open() is called.
    CrlfFileStream(const QString& path, qint64 begin, qint64 end, quint64 expectedSize,
                   bool unescapeFrom);
    // The file open as fd, whatever has its name now (name, for problems): fd is duplicated, so
    // the stream may outlive it.
    CrlfFileStream(int fd, const QString& name, qint64 begin, qint64 end, quint64 expectedSize,
                   bool unescapeFrom);
    ~CrlfFileStream() override;
    CrlfFileStream(const CrlfFileStream&) = delete;
    CrlfFileStream& operator=(const CrlfFileStream&) = delete;

    bool open();
    HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) override;
    QString LastError() const override { return error_; }

private:
    bool fill();
    bool fail(const QString& reason);

    QString name_;
    int fd_ = -1;
    int givenFd_ = -1;
    qint64 pos_;
    qint64 end_;
    quint64 expected_;
    CrlfCanonicalizer canonicalizer_;
    bool failed_ = false;
    QString error_;
    static constexpr qint64 kChunk = 65536;
    QByteArray buffer_;
    QByteArray pending_;
    qsizetype pendingPos_ = 0;
};

} // namespace parcelo
