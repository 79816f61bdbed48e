#pragma once

#include <QByteArray>
#include <QFile>

namespace parcelo {

// Reads a file line by line (each line with its line end) through a fixed buffer, so that
// memory stays bounded by the longest line.
class LineReader {
public:
    explicit LineReader(QFile* file) : file_(file) {}

    // False at the end of the file or on a read error (see failed()).
    bool next(QByteArray* line);
    bool failed() const { return failed_; }
    // Offset of the line last returned by next().
    qint64 lineStart() const { return lineStart_; }
    qint64 position() const { return position_; }

private:
    QFile* file_;
    QByteArray buffer_;
    qsizetype bufferPos_ = 0;
    qint64 position_ = 0;
    qint64 lineStart_ = 0;
    bool failed_ = false;
    bool eof_ = false;
};

} // namespace parcelo
