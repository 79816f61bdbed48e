// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/CrlfMemoryStream.h"

#include <algorithm>
#include <cstring>

namespace parcelo {

namespace {

// Below this much room the bytes go through the pending buffer instead of in place.
constexpr qsizetype kDirectRoom = 256;
constexpr qsizetype kPendingPiece = 4096;

} // namespace

CrlfMemoryStream::CrlfMemoryStream(QByteArray bytes, qsizetype begin, qsizetype end,
                                   quint64 expectedSize, bool unescapeFrom, QString name)
    : bytes_(std::move(bytes)), pos_(begin), end_(end), expected_(expectedSize),
      canonicalizer_(unescapeFrom), name_(std::move(name)) {}

HRESULT CrlfMemoryStream::fail(const QString& reason) {
    error_ = name_ + QStringLiteral(": ") + reason;
    return E_IO;
}

HRESULT CrlfMemoryStream::Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) {
    *cbRead = 0;
    if (!error_.isEmpty())
        return E_IO;
    qsizetype done = 0;
    while (done < qsizetype(cb)) {
        if (pendingPos_ < pending_.size()) {
            const qsizetype n = std::min<qsizetype>(cb - done, pending_.size() - pendingPos_);
            std::memcpy(buffer + done, pending_.constData() + pendingPos_, size_t(n));
            pendingPos_ += n;
            done += n;
            continue;
        }
        if (pos_ >= end_) {
            if (finished_)
                break;
            finished_ = true;
            pending_.resize(0);
            pendingPos_ = 0;
            canonicalizer_.finish(&pending_);
            continue;
        }
        const qsizetype room = qsizetype(cb) - done;
        if (room >= kDirectRoom) {
            const qsizetype piece = std::min(end_ - pos_, (room - CrlfCanonicalizer::kMaxHeld) / 2);
            char* out = buffer + done;
            canonicalizer_.feedTo(bytes_.constData() + pos_, piece, out);
            done = out - buffer;
            pos_ += piece;
        } else {
            const qsizetype piece = std::min(end_ - pos_, kPendingPiece);
            pending_.resize(0);
            pendingPos_ = 0;
            canonicalizer_.feed(bytes_.constData() + pos_, piece, &pending_);
            pos_ += piece;
        }
        if (canonicalizer_.produced() > expected_)
            return fail(QStringLiteral("the message is longer than when the folder was read"));
    }
    if (done == 0 && finished_ && canonicalizer_.produced() != expected_)
        return fail(QStringLiteral("the message is shorter than when the folder was read"));
    *cbRead = std::uint32_t(done);
    return S_OK;
}

} // namespace parcelo
