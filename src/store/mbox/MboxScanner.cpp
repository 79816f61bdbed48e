#include "store/mbox/MboxScanner.h"

#include "store/CrlfFileStream.h"
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

class Builder {
public:
    explicit Builder(MboxScan* scan) : scan_(scan) {}

    void separator(const QByteArray& line, qint64 start) {
        finish(start);
        MboxMessage message;
        message.separatorStart = start;
        message.contentStart = start + line.size();
        message.headerEnd = message.contentStart;
        message.lineEnd = line.endsWith("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
        scan_->messages.push_back(message);
        open_ = true;
        inHeader_ = true;
        pendingEmpty_ = false;
        header_.clear();
    }

    void line(const QByteArray& line, qint64 start) {
        if (!open_)
            return;
        MboxMessage& message = scan_->messages.back();
        const bool empty = IsEmptyLine(line);
        if (pendingEmpty_) {
            message.cbMessage += 2;
            pendingEmpty_ = false;
        }
        if (inHeader_) {
            if (empty) {
                inHeader_ = false;
            } else {
                headerLine(&message, line, start);
                message.headerEnd = start + line.size();
                message.headerLineEndMissing = !line.endsWith('\n');
            }
        }
        if (empty) {
            pendingEmpty_ = true;
            pendingEmptyStart_ = start;
        } else {
            message.cbMessage += CanonicalLineSize(line.constData(), line.size(), true);
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
    void headerLine(MboxMessage* message, const QByteArray& line, qint64 start) {
        header_.append(line);
        qsizetype value = 0;
        if (message->mozStatusOffset < 0 && StartsWithField(line, "X-Mozilla-Status", &value)) {
            const int digits = HexDigits(line, value);
            if (digits > 0 && digits <= 8) {
                message->mozStatusOffset = start + value;
                message->mozStatusLength = digits;
            }
        } else if (message->statusValueOffset < 0 && StartsWithField(line, "Status", &value)) {
            message->statusValueOffset = start + value;
        }
    }

    MboxScan* scan_;
    bool open_ = false;
    bool inHeader_ = false;
    bool pendingEmpty_ = false;
    qint64 pendingEmptyStart_ = 0;
    QByteArray header_;
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
    QByteArray line;
    bool first = true;
    bool previousEmpty = true;
    while (reader.next(&line)) {
        qint64 start = reader.lineStart();
        if (first && line.startsWith(kBom)) {
            line.remove(0, kBom.size());
            start += kBom.size();
            scan.prefixLength = kBom.size();
        }
        if (line.startsWith("From ") && previousEmpty) {
            builder.separator(line, start);
            previousEmpty = false;
        } else {
            if (first && !line.isEmpty()) {
                scan.error = QStringLiteral("not an mbox file");
                return scan;
            }
            builder.line(line, start);
            previousEmpty = IsEmptyLine(line);
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
    const QByteArray bytes = file->read(length);
    if (bytes.size() != length)
        return false;
    const qsizetype separatorLength = message.contentStart - message.separatorStart;
    *receivedDate = ParseMboxFromLineDate(bytes.left(separatorLength).trimmed());
    *summary = SummarizeHeader(MessageHeader(bytes.mid(separatorLength)));
    return true;
}

} // namespace parcelo
