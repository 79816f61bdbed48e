// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/CrlfCanonicalizer.h"
#include "store/mbox/MboxMessage.h"
#include "store/mbox/MboxStateRules.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace parcelo {

// Reads an mbox file front to back through one buffer and hands out its messages one at a
// time: offsets, sizes and flags, and on request the message's header and whole bytes. Memory
// stays bounded by the buffer and the kept bytes, whatever the file or line length.
class MboxReader {
public:
    struct Options {
        bool keepHeader = false; // header() holds the header lines of each message
        // region() holds the bytes of each message whose separator-to-next-separator span is
        // at most this long; longer ones are left to be read from the file when needed.
        qint64 regionLimit = 0;
        const MboxStateRules* rules = nullptr; // how read and flagged are read; null: plain
        quint64* reads = nullptr;              // counts each read of the file, when given
    };

    // Reads [start, end) of the open file fd (not taken over); start is 0 or where a separator
    // line starts, which the first line must then be. end is the file's end as far as the
    // reading goes: a Content-Length that reaches it ends its message there.
    MboxReader(int fd, qint64 start, qint64 end, Options options);
    MboxReader(int fd, qint64 start, qint64 end) : MboxReader(fd, start, end, Options{}) {}

    // The next message; false at the end, and when a read fails or the bytes are no mbox.
    bool next(MboxMessage* message);
    bool failed() const { return !error_.isEmpty(); }
    QString error() const { return error_; }
    // A UTF-8 byte-order mark before the first separator (only when reading from 0).
    qint64 prefixLength() const { return prefixLength_; }
    // Where reading stopped: the end of the last message handed out once next() said false.
    qint64 position() const { return bufferOffset_ + pos_; }

    // Of the message last returned by next(): its separator line (its first kLineHeadLimit
    // bytes), its header lines (each cut likewise) and, when kept, its bytes from the separator
    // to the next one.
    const QByteArray& separatorLine() const { return done_.separator; }
    const QByteArray& header() const { return done_.header; }
    bool regionKept() const { return done_.regionKept; }
    const QByteArray& region() const { return done_.region; }

    static constexpr qsizetype kLineHeadLimit = 65536;

private:
    // One line as the reader took it: its first bytes and its measures.
    struct Line {
        const char* head = nullptr;
        qsizetype headSize = 0;
        qint64 start = 0;
        qint64 length = 0;
        bool crlf = false;
        bool lineEndMissing = false;
        quint64 canonicalSize = 0;
    };
    // What is gathered of a message.
    struct Gathered {
        QByteArray separator;
        QByteArray header;
        QByteArray region;
        bool regionKept = false;
    };

    bool peekLine(const char** newline);
    void takeLine(const char* newline, Line* line);
    bool fill();
    // Adds the bytes taken since the last call to the kept region of the open message.
    void keepRegionBytes();

    void skimBody();
    // At the empty line that ends the header: whether the body's length comes from the
    // message's Content-Length field.
    bool lengthEndsBody();
    // Reads on through a body whose length Content-Length gives, then the empty line after it.
    bool readCountedBody();
    void separator(const Line& line);
    void bodyOrHeaderLine(const Line& line);
    void headerLine(const Line& line);
    void finish(qint64 end);

    int fd_;
    qint64 end_;
    Options options_;
    QString error_;
    // Not zeroed: a reader is made for each folder, and most folders are far smaller.
    std::unique_ptr<char[]> buffer_;
    qsizetype pos_ = 0;
    qsizetype length_ = 0;
    qint64 bufferOffset_;      // file offset of buffer_[0]
    qsizetype regionMark_ = 0; // bytes before it are in the kept region
    bool eof_ = false;
    QByteArray longHead_;

    bool first_ = true;
    bool previousEmpty_ = true;
    qint64 prefixLength_ = 0;

    // The message being read.
    bool open_ = false;
    MboxMessage message_;
    bool inHeader_ = false;
    bool pendingEmpty_ = false;
    qint64 pendingEmptyStart_ = 0;
    bool keepingFlagField_ = false;
    bool inClientBlock_ = false;    // no field but the mail client's seen yet
    unsigned clientFieldsSeen_ = 0; // of them, by bit
    QByteArray flagFields_;
    bool lengthField_ = false;  // the message's first Content-Length field was seen
    int quotedHeaderLines_ = 0; // its ">From " header lines, which read by separators lose a '>'
    qint64 countLeft_ = -1;     // bytes of a counted body still to read; -1: none is read
    bool countLastCr_ = false;  // the last counted byte is a CR
    bool firstOfFile_ = false;  // the message is the file's first
    bool folderDataSubject_ = false;
    bool folderDataField_ = false;
    Gathered gathering_;
    // The message last finished.
    MboxMessage finished_;
    Gathered done_;
};

} // namespace parcelo
