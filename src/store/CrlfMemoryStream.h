// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/CrlfCanonicalizer.h"
#include "store/IStoreStream.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

// Streams the bytes [begin, end) of a message already in memory, canonicalised (see
// CrlfCanonicalizer) straight into the reader's buffer where it has room. A result whose size
// differs from the size announced for the message makes Read fail, as a file stream would.
class CrlfMemoryStream : public IStoreStream {
public:
    CrlfMemoryStream(QByteArray bytes, qsizetype begin, qsizetype end, quint64 expectedSize,
                     bool unescapeFrom, QString name);

    HRESULT Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) override;
    QString LastError() const override { return error_; }

private:
    HRESULT fail(const QString& reason);

    QByteArray bytes_;
    qsizetype pos_;
    qsizetype end_;
    quint64 expected_;
    CrlfCanonicalizer canonicalizer_;
    bool finished_ = false;
    QString name_;
    QString error_;
    QByteArray pending_; // canonical bytes that did not fit the reader's buffer
    qsizetype pendingPos_ = 0;
};

} // namespace parcelo
