// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <functional>

namespace parcelo {

// Reads a file line by line through a fixed buffer. Of each line only the first bytes (up to
// the head limit) are kept; the whole line can be seen in pieces through a sink. So memory
// stays bounded whatever the line length.
class LineReader {
public:
    static constexpr qsizetype kHeadLimit = 65536;
    using Sink = std::function<void(const char* data, qsizetype size)>;

    // Reads from the file's current position, which is the file offset start.
    explicit LineReader(QFile* file, qint64 start = 0, qsizetype headLimit = kHeadLimit)
        : file_(file), position_(start), lineStart_(start), headLimit_(headLimit) {}

    // The next line: its first bytes (with the line end when the line fits) go to head, every
    // byte of it to sink when one is given. False at the end of the file or on a read error
    // (see failed()).
    bool next(QByteArray* head, const Sink& sink = {});
    bool failed() const { return failed_; }
    // Offset and length of the line last returned by next().
    qint64 lineStart() const { return lineStart_; }
    qint64 lineLength() const { return position_ - lineStart_; }
    // Its line end as read: "\r\n", "\n", or empty when the file ends without one.
    QByteArray lineEnd() const;
    qint64 position() const { return position_; }

private:
    QFile* file_;
    QByteArray buffer_;
    qsizetype bufferPos_ = 0;
    qint64 position_;
    qint64 lineStart_;
    qsizetype headLimit_;
    char previous_ = 0; // the last two bytes of the line
    char last_ = 0;
    bool failed_ = false;
    bool eof_ = false;
};

} // namespace parcelo
