#include "store/LineReader.h"

#include <cstring>

namespace parcelo {

bool LineReader::next(QByteArray* line) {
    line->clear();
    lineStart_ = position_;
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
        line->append(begin, take);
        bufferPos_ += take;
        position_ += take;
        if (newline)
            return true;
    }
    return !line->isEmpty();
}

} // namespace parcelo
