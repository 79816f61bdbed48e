// SPDX-License-Identifier: GPL-3.0-or-later
// Scans arbitrary bytes as an mbox file. The index must cover the file in order, every message
// must stream exactly its announced size and match a plain line-by-line conversion, reading
// from a message's own start must find it as the whole scan did (and stream it alike from
// memory), counting it as two halves must find the scan's counts, and removing every other
// message must leave the others reading exactly as before. The first byte grows the rest past
// the reader's buffer and line-head limit, which a short input never reaches; a Content-Length
// written "#dk" is given a length near one that ends its message (see Lengths).
#include "store/CrlfFileStream.h"
#include "store/CrlfMemoryStream.h"
#include "store/mbox/MboxReader.h"
#include "store/mbox/MboxRewriter.h"
#include "store/mbox/MboxScanner.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdlib.h>
#include <unistd.h>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

QString MailboxPath() {
    static const QString path = [] {
        char pattern[] = "/dev/shm/parcelo-fuzz-XXXXXX";
        char fallback[] = "/tmp/parcelo-fuzz-XXXXXX";
        const char* dir = ::mkdtemp(pattern);
        if (!dir)
            dir = ::mkdtemp(fallback);
        Check(dir != nullptr);
        static const QByteArray made(dir);
        std::atexit([] {
            ::unlink((made + "/Box").constData());
            ::rmdir(made.constData());
        });
        return QString::fromLocal8Bit(dir) + QStringLiteral("/Box");
    }();
    return path;
}

// Line by line: a lone LF becomes CR LF, ">From " lines lose one '>' (unless unquote is false).
QByteArray Reference(const QByteArray& bytes, bool unquote) {
    QByteArray out;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        QByteArray line = bytes.mid(start, end - start);
        qsizetype quotes = 0;
        while (quotes < line.size() && line[quotes] == '>')
            ++quotes;
        if (unquote && quotes > 0 && line.mid(quotes).startsWith("From "))
            line.remove(0, 1);
        if (line.endsWith('\n') && !line.endsWith("\r\n"))
            line.insert(line.size() - 1, '\r');
        out.append(line);
        start = end;
    }
    return out;
}

QByteArray ReadAll(parcelo::IStoreStream& stream, quint64 size) {
    QByteArray out;
    char buffer[777];
    std::uint32_t got = 0;
    do {
        Check(stream.Read(buffer, sizeof buffer, &got) == parcelo::S_OK);
        out.append(buffer, got);
    } while (got > 0);
    Check(quint64(out.size()) == size);
    return out;
}

QByteArray Stream(const QString& path, const parcelo::MboxMessage& message) {
    parcelo::CrlfFileStream stream(path, message.contentStart, message.contentEnd,
                                   message.cbMessage, !message.lengthEnded);
    Check(stream.open());
    return ReadAll(stream, message.cbMessage);
}

bool SameMessage(const parcelo::MboxMessage& a, const parcelo::MboxMessage& b) {
    return a.separatorStart == b.separatorStart && a.contentStart == b.contentStart &&
           a.headerEnd == b.headerEnd && a.contentEnd == b.contentEnd &&
           a.regionEnd == b.regionEnd && a.cbMessage == b.cbMessage &&
           a.headerLineEndMissing == b.headerLineEndMissing && a.lineEnd == b.lineEnd &&
           a.mozStatusOffset == b.mozStatusOffset && a.mozStatusLength == b.mozStatusLength &&
           a.mozStatus == b.mozStatus && a.statusValueOffset == b.statusValueOffset &&
           a.read == b.read && a.flagged == b.flagged && a.expunged == b.expunged &&
           a.bodyStart == b.bodyStart && a.contentLength == b.contentLength &&
           a.lengthEnded == b.lengthEnded && a.folderData == b.folderData;
}

// The message read on its own from where it starts, its bytes kept in memory.
void CheckReadAlone(const QFile& file, const QByteArray& input, const parcelo::MboxMessage& m,
                    const QByteArray& source) {
    parcelo::MboxReader reader(file.handle(), m.separatorStart, input.size(),
                               parcelo::MboxReader::Options{true, 1 << 20});
    parcelo::MboxMessage alone;
    Check(reader.next(&alone) && SameMessage(alone, m));
    if (!reader.regionKept())
        return;
    Check(reader.region() == input.mid(m.separatorStart, m.regionEnd - m.separatorStart));
    parcelo::CrlfMemoryStream stream(reader.region(), m.contentStart - m.separatorStart,
                                     m.contentEnd - m.separatorStart, m.cbMessage, !m.lengthEnded,
                                     {});
    Check(ReadAll(stream, m.cbMessage) == source);
}

// The input grown as its first byte says: bit 0 lengthens its first line (the separator line,
// or with bit 7 the line after it) to about the line-head limit, give or take a few bytes;
// bit 1 repeats it to about the size of the reader's buffer, so that a refill falls inside
// some message.
QByteArray Expand(const std::uint8_t* data, std::size_t size, bool* grown) {
    *grown = false;
    if (size == 0)
        return {};
    const std::uint8_t mode = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (mode & 1) {
        qsizetype at = bytes.indexOf('\n');
        if (at >= 0 && (mode & 0x80)) {
            const qsizetype next = bytes.indexOf('\n', at + 1);
            at = next >= 0 ? next : bytes.size();
        }
        at = at < 0 ? bytes.size() : at;
        if (at > 0 && bytes[at - 1] == '\r')
            --at;
        const qsizetype length = parcelo::MboxReader::kLineHeadLimit - 8 + ((mode >> 2) & 15);
        bytes.insert(at, QByteArray(length, (mode & 0x40) ? ' ' : 'x'));
        *grown = true;
    }
    if ((mode & 2) && !bytes.isEmpty()) {
        const qsizetype target = 256 * 1024 - 640 + qsizetype(mode >> 2) * 20;
        const QByteArray unit = bytes;
        while (bytes.size() < target)
            bytes.append(unit);
        bytes.truncate(std::max(target, unit.size()));
        *grown = true;
    }
    return bytes;
}

// Where the skip-th empty line (0: the first) at or after from starts that a "From " line
// follows, or the end.
qsizetype NextEnd(const QByteArray& bytes, qsizetype from, int skip) {
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype at = from; at < size; ++at) {
        if (at > 0 && data[at - 1] != '\n')
            continue;
        const qsizetype empty = data[at] == '\n'                                              ? 1
                                : (at + 1 < size && data[at] == '\r' && data[at + 1] == '\n') ? 2
                                                                                              : 0;
        if (empty > 0 && size - at - empty >= 5 &&
            std::memcmp(data + at + empty, "From ", 5) == 0 && skip-- == 0)
            return at;
    }
    return size;
}

// A server writes a message's body length in Content-Length, which arbitrary digits seldom
// match. "Content-Length: #dk" (two digits) becomes the length from the body's start (after
// the next empty line) to the d-th place after it where an empty line and a "From " line
// follow (or the end), plus k - 2: right, or a little off. The last is filled in first, so
// that the lengths of the ones before it count its digits.
void Lengths(QByteArray* bytes) {
    static const QByteArray kField = "Content-Length: #";
    for (qsizetype at = bytes->lastIndexOf(kField); at >= 0;
         at = at == 0 ? -1 : bytes->lastIndexOf(kField, at - 1)) {
        const qsizetype digits = at + kField.size();
        if (digits + 2 > bytes->size() ||
            !std::isdigit(static_cast<unsigned char>(bytes->at(digits))) ||
            !std::isdigit(static_cast<unsigned char>(bytes->at(digits + 1))))
            continue;
        const int d = bytes->at(digits) - '0';
        const int k = bytes->at(digits + 1) - '0';
        const qsizetype lf = bytes->indexOf("\n\n", digits);
        const qsizetype crlf = bytes->indexOf("\n\r\n", digits);
        qsizetype body = -1;
        if (lf >= 0 && (crlf < 0 || lf < crlf))
            body = lf + 2;
        else if (crlf >= 0)
            body = crlf + 3;
        if (body < 0)
            continue;
        const qsizetype length = NextEnd(*bytes, body, d) - body + k - 2;
        bytes->replace(digits - 1, 3, QByteArray::number(std::max<qsizetype>(length, 0)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = MailboxPath();
    bool grown = false;
    QByteArray input = Expand(data, size, &grown);
    Lengths(&input);
    {
        QFile file(path);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(input) == input.size());
    }
    const parcelo::MboxScan scan = parcelo::ScanMbox(path);
    if (!scan.ok)
        return 0;
    Check(scan.size == input.size());
    qint64 expectedStart = scan.prefixLength;
    std::vector<QByteArray> sources;
    QFile file(path);
    Check(file.open(QIODevice::ReadOnly));
    for (size_t i = 0; i < scan.messages.size(); ++i) {
        const parcelo::MboxMessage& m = scan.messages[i];
        Check(m.separatorStart == expectedStart);
        Check(m.separatorStart < m.contentStart && m.contentStart <= m.headerEnd);
        Check(m.headerEnd <= m.contentEnd && m.contentEnd <= m.regionEnd);
        Check(input.mid(m.separatorStart, 5) == "From ");
        expectedStart = m.regionEnd;
        const QByteArray source = Stream(path, m);
        Check(source ==
              Reference(input.mid(m.contentStart, m.contentEnd - m.contentStart), !m.lengthEnded));
        // Each read alone fills a whole buffer: in a grown input, only the first and last few.
        if (!grown || i < 4 || i + 4 >= scan.messages.size())
            CheckReadAlone(file, input, m, source);
        sources.push_back(source);
    }
    Check(expectedStart == input.size());
    parcelo::MboxScan counted;
    parcelo::MboxCounts counts;
    Check(parcelo::CountMboxMessages(file.handle(), &counted, &counts, 1));
    int live = 0;
    int unread = 0;
    for (const parcelo::MboxMessage& m : scan.messages) {
        live += !m.expunged && !m.folderData;
        unread += !m.expunged && !m.folderData && !m.read;
    }
    Check(counts.messages == live && counts.unread == unread);
    file.close();

    if (scan.messages.size() < 2)
        return 0;
    std::vector<parcelo::MboxChange> changes(scan.messages.size());
    for (size_t i = 1; i < changes.size(); i += 2)
        changes[i].drop = true;
    QString error;
    if (!parcelo::ApplyMboxChanges(path, scan, changes, &error)) {
        // Refused only where a length would then take in what follows, with nothing changed.
        QFile left(path);
        Check(error.contains(QStringLiteral("Content-Length")) && left.open(QIODevice::ReadOnly) &&
              left.readAll() == input);
        return 0;
    }
    const parcelo::MboxScan rescan = parcelo::ScanMbox(path);
    Check(rescan.ok);
    Check(rescan.messages.size() == (scan.messages.size() + 1) / 2);
    for (size_t i = 0; i < rescan.messages.size(); ++i) {
        Check(Stream(path, rescan.messages[i]) == sources[2 * i]);
        Check(rescan.messages[i].read == scan.messages[2 * i].read);
        Check(rescan.messages[i].expunged == scan.messages[2 * i].expunged);
        Check(rescan.messages[i].lengthEnded == scan.messages[2 * i].lengthEnded);
        Check(rescan.messages[i].folderData == scan.messages[2 * i].folderData);
    }
    return 0;
}
