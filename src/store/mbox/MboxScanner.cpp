#include "store/mbox/MboxScanner.h"

#include "store/CrlfCanonicalizer.h"
#include "store/LineReader.h"
#include "store/RegularFile.h"
#include "store/header/MessageHeader.h"
#include "store/header/Rfc5322Date.h"

#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cstring>
#include <sys/stat.h>

namespace parcelo {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// Headers up to this size are read whole for their summary.
constexpr qint64 kWholeHeaderLimit = 1 << 20;

bool IsEmptyLine(const QByteArray& line) {
    return line == "\n" || line == "\r\n";
}

bool StartsWithField(const QByteArray& line, const char* name, qsizetype* valueStart) {
    const qsizetype length = qsizetype(std::strlen(name));
    if (line.size() <= length || line[length] != ':' ||
        line.left(length).compare(name, Qt::CaseInsensitive) != 0)
        return false;
    qsizetype i = length + 1;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    *valueStart = i;
    return true;
}

int HexDigits(const QByteArray& line, qsizetype from) {
    int n = 0;
    while (from + n < line.size() && std::isxdigit(static_cast<unsigned char>(line[from + n])))
        ++n;
    return n;
}

// One line of the file as the scanner sees it: its first bytes and its measures.
struct ScannedLine {
    QByteArray head; // at most LineReader::kHeadLimit bytes
    qint64 start = 0;
    qint64 length = 0;
    QByteArray lineEnd;
    quint64 canonicalSize = 0;
};

bool IsHeaderContinuation(const QByteArray& line) {
    return line.startsWith(' ') || line.startsWith('\t');
}

// Header fields that the message's flags are read from; only these are kept of a header.
bool IsFlagField(const QByteArray& line) {
    qsizetype value = 0;
    return StartsWithField(line, "X-Mozilla-Status", &value) ||
           StartsWithField(line, "Status", &value) || StartsWithField(line, "X-Status", &value);
}

class Builder {
public:
    explicit Builder(MboxScan* scan) : scan_(scan) {}

    void separator(const ScannedLine& line) {
        finish(line.start);
        MboxMessage message;
        message.separatorStart = line.start;
        message.contentStart = line.start + line.length;
        message.headerEnd = message.contentStart;
        message.lineEnd = line.lineEnd == "\r\n" ? QByteArray("\r\n") : QByteArray("\n");
        scan_->messages.push_back(message);
        open_ = true;
        inHeader_ = true;
        pendingEmpty_ = false;
        keepingField_ = false;
        header_.clear();
    }

    void line(const ScannedLine& line) {
        if (!open_)
            return;
        MboxMessage& message = scan_->messages.back();
        const bool empty = IsEmptyLine(line.head);
        if (pendingEmpty_) {
            message.cbMessage += 2;
            pendingEmpty_ = false;
        }
        if (inHeader_) {
            if (empty) {
                inHeader_ = false;
            } else {
                headerLine(&message, line);
                message.headerEnd = line.start + line.length;
                message.headerLineEndMissing = line.lineEnd.isEmpty();
            }
        }
        if (empty) {
            pendingEmpty_ = true;
            pendingEmptyStart_ = line.start;
        } else {
            message.cbMessage += line.canonicalSize;
        }
    }

    // A last empty line at the end of the file is the writer's end of message, as the empty
    // line before a separator is: so a message reads the same when a later one is removed.
    void finish(qint64 end) {
        if (!open_)
            return;
        MboxMessage& message = scan_->messages.back();
        message.regionEnd = end;
        message.contentEnd = pendingEmpty_ ? pendingEmptyStart_ : end;
        const MessageHeader header(header_);
        bool ok = false;
        const QByteArray* moz = header.find("X-Mozilla-Status");
        const quint32 mozStatus = moz ? moz->toUInt(&ok, 16) : 0;
        if (moz && ok) {
            message.mozStatus = mozStatus;
            message.read = mozStatus & kMozillaRead;
            message.flagged = mozStatus & kMozillaFlagged;
            message.expunged = mozStatus & kMozillaExpunged;
        } else {
            message.mozStatusOffset = -1;
            message.read = header.value("Status").contains('R');
            message.flagged = header.value("X-Status").contains('F');
        }
        open_ = false;
        header_.clear();
    }

private:
    static constexpr qsizetype kKeptHeaderLimit = 65536;

    void headerLine(MboxMessage* message, const ScannedLine& line) {
        keepingField_ = IsHeaderContinuation(line.head) ? keepingField_ : IsFlagField(line.head);
        if (keepingField_ && header_.size() < kKeptHeaderLimit) {
            header_.append(line.head);
            if (!header_.endsWith('\n'))
                header_.append('\n'); // a line longer than its head, or the header's last
        }
        qsizetype value = 0;
        if (message->mozStatusOffset < 0 &&
            StartsWithField(line.head, "X-Mozilla-Status", &value)) {
            const int digits = HexDigits(line.head, value);
            if (digits > 0 && digits <= 8) {
                message->mozStatusOffset = line.start + value;
                message->mozStatusLength = digits;
            }
        } else if (message->statusValueOffset < 0 && StartsWithField(line.head, "Status", &value)) {
            message->statusValueOffset = line.start + value;
        }
    }

    MboxScan* scan_;
    bool open_ = false;
    bool inHeader_ = false;
    bool pendingEmpty_ = false;
    bool keepingField_ = false;
    qint64 pendingEmptyStart_ = 0;
    QByteArray header_; // the flag fields of the header
};

} // namespace

bool SameFileAsScanned(const QString& path, const MboxScan& scan) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           quint64(st.st_ino) == scan.inode && st.st_size == scan.size &&
           QFileInfo(path).lastModified() == scan.modified;
}

bool LooksLikeMbox(const QString& path) {
    QFile file(path);
    if (!OpenRegularFileToPeek(&file, path))
        return false;
    QByteArray head = file.read(8);
    if (head.startsWith(kBom))
        head.remove(0, kBom.size());
    // An empty file must read as empty: a pseudo file says it is empty whatever it holds.
    const bool empty = file.size() == 0 && head.isEmpty() && file.error() == QFileDevice::NoError;
    return empty || head.startsWith("From ") || (file.size() == kBom.size() && head.isEmpty());
}

MboxScan ScanMbox(const QString& path) {
    MboxScan scan;
    QFile file(path);
    if (!OpenRegularFile(&file, path, &scan.error)) {
        return scan;
    }
    struct stat st;
    if (::fstat(file.handle(), &st) != 0) {
        scan.error = QStringLiteral("cannot read %1").arg(path);
        return scan;
    }
    scan.size = st.st_size;
    scan.modified = QFileInfo(path).lastModified();
    scan.inode = st.st_ino;

    LineReader reader(&file);
    Builder builder(&scan);
    ScannedLine line;
    CrlfCanonicalizer counter(true);
    const LineReader::Sink count = [&counter](const char* data, qsizetype size) {
        counter.feed(data, size, nullptr);
    };
    bool first = true;
    bool previousEmpty = true;
    while (reader.next(&line.head, count)) {
        counter.finish(nullptr);
        line.start = reader.lineStart();
        line.length = reader.lineLength();
        line.lineEnd = reader.lineEnd();
        line.canonicalSize = counter.produced();
        counter = CrlfCanonicalizer(true);
        if (first && line.head.startsWith(kBom)) {
            line.head.remove(0, kBom.size());
            line.start += kBom.size();
            line.length -= kBom.size();
            scan.prefixLength = kBom.size();
        }
        if (line.head.startsWith("From ") && previousEmpty) {
            builder.separator(line);
            previousEmpty = false;
        } else {
            if (first && !line.head.isEmpty()) {
                scan.error = QStringLiteral("not an mbox file");
                return scan;
            }
            builder.line(line);
            previousEmpty = IsEmptyLine(line.head);
        }
        first = false;
    }
    if (reader.failed()) {
        scan.error = file.errorString();
        return scan;
    }
    builder.finish(reader.position());
    scan.ok = true;
    return scan;
}

bool ReadMboxHeader(QFile* file, const MboxMessage& message, HeaderSummary* summary,
                    QDateTime* receivedDate) {
    if (!file->seek(message.separatorStart))
        return false;
    const qint64 length = message.headerEnd - message.separatorStart;
    QByteArray separator;
    QByteArray header;
    if (length <= kWholeHeaderLimit) {
        header = file->read(length);
        if (header.size() != length)
            return false;
        separator = header.left(message.contentStart - message.separatorStart);
        header.remove(0, separator.size());
    } else {
        // A huge header is read line by line, each line cut to its head: the summary needs
        // only the start of each field.
        LineReader reader(file, message.separatorStart);
        if (!reader.next(&separator))
            return false;
        QByteArray head;
        while (reader.position() < message.headerEnd && reader.next(&head)) {
            header.append(head);
            if (!head.endsWith('\n'))
                header.append('\n');
        }
        if (reader.failed() || reader.position() < message.headerEnd)
            return false;
    }
    *receivedDate = ParseMboxFromLineDate(separator.trimmed());
    *summary = SummarizeHeader(MessageHeader(header));
    return true;
}

} // namespace parcelo
