// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/LineReader.h"

#include <algorithm>
#include <cstring>

namespace parcelo {

bool LineReader::next(QByteArray* head, const Sink& sink) {
    head->clear();
    lineStart_ = position_;
    previous_ = last_ = 0;
    for (;;) {
        if (bufferPos_ >= buffer_.size()) {
            if (eof_)
                break;
            buffer_.resize(65536);
            bufferPos_ = 0;
            const qint64 got = file_->read(buffer_.data(), buffer_.size());
            if (got < 0) {
                failed_ = true;
                buffer_.clear();
                return false;
            }
            buffer_.truncate(got);
            if (got == 0) {
                eof_ = true;
                break;
            }
        }
        const char* begin = buffer_.constData() + bufferPos_;
        const qsizetype available = buffer_.size() - bufferPos_;
        const char* newline = static_cast<const char*>(std::memchr(begin, '\n', available));
        const qsizetype take = newline ? (newline - begin) + 1 : available;
        if (head->size() < headLimit_)
            head->append(begin, std::min(take, headLimit_ - head->size()));
        if (sink)
            sink(begin, take);
        previous_ = take >= 2 ? begin[take - 2] : last_;
        last_ = begin[take - 1];
        bufferPos_ += take;
        position_ += take;
        if (newline)
            return true;
    }
    return lineLength() > 0;
}

QByteArray LineReader::lineEnd() const {
    if (lineLength() == 0 || last_ != '\n')
        return {};
    return lineLength() >= 2 && previous_ == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

} // namespace parcelo
