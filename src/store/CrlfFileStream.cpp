// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/CrlfFileStream.h"

#include "platform/SystemErrorText.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace parcelo {

CrlfFileStream::CrlfFileStream(const QString& path, qint64 begin, qint64 end, quint64 expectedSize,
                               bool unescapeFrom)
    : name_(path), pos_(begin), end_(end), expected_(expectedSize), canonicalizer_(unescapeFrom) {}

CrlfFileStream::CrlfFileStream(int fd, const QString& name, qint64 begin, qint64 end,
                               quint64 expectedSize, bool unescapeFrom)
    : name_(name), givenFd_(fd), pos_(begin), end_(end), expected_(expectedSize),
      canonicalizer_(unescapeFrom) {}

CrlfFileStream::~CrlfFileStream() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool CrlfFileStream::open() {
    fd_ = givenFd_ >= 0 ? ::fcntl(givenFd_, F_DUPFD_CLOEXEC, 0)
                        : ::open(QFile::encodeName(name_).constData(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0 || fail(SystemErrorText(errno));
}

bool CrlfFileStream::fail(const QString& reason) {
    failed_ = true;
    error_ = name_ + QStringLiteral(": ") + reason;
    return false;
}

bool CrlfFileStream::fill() {
    pending_.clear();
    pendingPos_ = 0;
    buffer_.resize(std::min<qint64>(kChunk, end_ - pos_));
    // Read by offset: a duplicated descriptor shares its position with the original.
    const ssize_t got = ::pread(fd_, buffer_.data(), size_t(buffer_.size()), pos_);
    if (got < 0)
        return fail(SystemErrorText(errno));
    if (got == 0)
        return fail(QStringLiteral("the file ended before the message did"));
    pos_ += got;
    canonicalizer_.feed(buffer_.constData(), got, &pending_);
    if (pos_ >= end_)
        canonicalizer_.finish(&pending_);
    if (canonicalizer_.produced() > expected_)
        return fail(QStringLiteral("the message is longer than when the folder was read"));
    return true;
}

HRESULT CrlfFileStream::Read(char* buffer, std::uint32_t cb, std::uint32_t* cbRead) {
    *cbRead = 0;
    if (failed_)
        return E_IO;
    std::uint32_t done = 0;
    while (done < cb) {
        if (pendingPos_ >= pending_.size()) {
            if (pos_ >= end_) {
                if (canonicalizer_.produced() != expected_) {
                    fail(QStringLiteral("the message is shorter than when the folder was read"));
                    if (done > 0)
                        break;
                    return E_IO;
                }
                break;
            }
            if (!fill()) {
                if (done > 0)
                    break; // hand over what was read; the next call fails
                return E_IO;
            }
            continue;
        }
        const qsizetype n = std::min<qsizetype>(cb - done, pending_.size() - pendingPos_);
        std::memcpy(buffer + done, pending_.constData() + pendingPos_, n);
        pendingPos_ += n;
        done += static_cast<std::uint32_t>(n);
    }
    *cbRead = done;
    return S_OK;
}

} // namespace parcelo
