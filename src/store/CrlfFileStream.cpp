#include "store/CrlfFileStream.h"

#include <cstring>

namespace parcelo {

namespace {

bool IsEscapedFrom(const char* line, qsizetype length) {
    qsizetype i = 0;
    while (i < length && line[i] == '>')
        ++i;
    return i > 0 && length - i >= 5 && std::memcmp(line + i, "From ", 5) == 0;
}

} // namespace

qint64 CanonicalLineSize(const char* line, qsizetype length, bool unescapeFrom) {
    qint64 size = length;
    if (unescapeFrom && IsEscapedFrom(line, length))
        --size;
    if (length > 0 && line[length - 1] == '\n' && (length < 2 || line[length - 2] != '\r'))
        ++size;
    return size;
}

void AppendCanonicalLine(QByteArray* out, const char* line, qsizetype length, bool unescapeFrom) {
    if (unescapeFrom && IsEscapedFrom(line, length)) {
        ++line;
        --length;
    }
    if (length > 0 && line[length - 1] == '\n' && (length < 2 || line[length - 2] != '\r')) {
        out->append(line, length - 1);
        out->append("\r\n", 2);
    } else {
        out->append(line, length);
    }
}

CrlfFileStream::CrlfFileStream(const QString& path, qint64 begin, qint64 end, quint64 expectedSize,
                               bool unescapeFrom)
    : file_(path), pos_(begin), end_(end), expected_(expectedSize), unescapeFrom_(unescapeFrom) {}

bool CrlfFileStream::open() {
    if (file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && file_.seek(pos_))
        return true;
    return fail(file_.errorString());
}

bool CrlfFileStream::fail(const QString& reason) {
    failed_ = true;
    error_ = file_.fileName() + QStringLiteral(": ") + reason;
    return false;
}

bool CrlfFileStream::fill() {
    pending_.clear();
    pendingPos_ = 0;
    QByteArray line;
    while (pos_ < end_) {
        if (bufferPos_ >= buffer_.size()) {
            buffer_.resize(std::min<qint64>(kChunk, end_ - pos_));
            bufferPos_ = 0;
            const qint64 got = file_.read(buffer_.data(), buffer_.size());
            if (got < 0)
                return fail(file_.errorString());
            if (got == 0)
                return fail(QStringLiteral("the file ended before the message did"));
            buffer_.truncate(got);
        }
        const char* begin = buffer_.constData() + bufferPos_;
        const qsizetype available = buffer_.size() - bufferPos_;
        const char* newline = static_cast<const char*>(std::memchr(begin, '\n', available));
        const qsizetype take = newline ? (newline - begin) + 1 : available;
        line.append(begin, take);
        bufferPos_ += take;
        pos_ += take;
        if (newline)
            break;
    }
    AppendCanonicalLine(&pending_, line.constData(), line.size(), unescapeFrom_);
    produced_ += pending_.size();
    if (produced_ > expected_)
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
                if (produced_ != expected_) {
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
