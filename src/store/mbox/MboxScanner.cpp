// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxScanner.h"

#include "mailtext/Rfc5322Date.h"
#include "platform/SystemErrorText.h"
#include "store/RegularFile.h"
#include "store/header/MessageHeader.h"
#include "store/mbox/MboxReader.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace parcelo {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// The modification time as the identity of a scan keeps it.
QDateTime ModifiedTime(const struct stat& st) {
    return QDateTime::fromMSecsSinceEpoch(
        qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
}

struct Tally {
    MboxCounts counts;
    qint64 prefixLength = 0;
    QString error;
    bool stopped = false; // where a message starts at stopAt
};

// Counts the messages from start to the file's end, or up to stopAt when a message starts
// there.
void TallyRange(int fd, qint64 start, qint64 end, qint64 stopAt, const MboxStateRules* rules,
                Tally* tally) {
    MboxReader reader(fd, start, end, MboxReader::Options{false, 0, rules});
    MboxMessage message;
    while (reader.next(&message)) {
        if (!message.expunged && !message.folderData) {
            ++tally->counts.messages;
            if (!message.read)
                ++tally->counts.unread;
        }
        if (message.regionEnd == stopAt) {
            tally->stopped = true;
            break;
        }
    }
    tally->prefixLength = reader.prefixLength();
    if (reader.failed())
        tally->error = reader.error();
}

// Where the first separator line at or after from starts (a "From " line after an empty
// line, as the reader takes it), or -1 when there is none before end. It may lie inside a body
// whose length its Content-Length gives, which only a reading from the front can tell.
qint64 SeparatorFrom(int fd, qint64 from, qint64 end) {
    constexpr qint64 kChunk = 64 << 10;
    constexpr qint64 kOverlap = 8; // a match may cross the end of a chunk
    QByteArray chunk(kChunk + kOverlap, Qt::Uninitialized);
    for (qint64 at = from; at < end; at += kChunk) {
        const qint64 wanted = std::min(kChunk + kOverlap, end - at);
        const ssize_t got = ::pread(fd, chunk.data(), size_t(wanted), at);
        if (got <= 0)
            return -1;
        const QByteArrayView view(chunk.constData(), got);
        for (qsizetype i = view.indexOf("\nFrom "); i >= 0; i = view.indexOf("\nFrom ", i + 1)) {
            const bool afterEmpty = (i >= 1 && view[i - 1] == '\n') ||
                                    (i >= 2 && view[i - 1] == '\r' && view[i - 2] == '\n');
            if (afterEmpty)
                return at + i + 1;
        }
    }
    return -1;
}

} // namespace

bool CountMboxMessages(int fd, MboxScan* scan, MboxCounts* counts, qint64 splitSize,
                       const MboxStateRules* rules) {
    if (!ReadMboxIdentity(fd, scan, &scan->error))
        return false;
    const qint64 middle =
        scan->size >= splitSize ? SeparatorFrom(fd, scan->size / 2, scan->size) : -1;
    Tally first;
    Tally second;
    if (middle > 0) {
        // The first half reads on to the end unless a message starts at the middle: only then
        // is the second half's count the rest of the file's.
        std::thread other([&] { TallyRange(fd, middle, scan->size, -1, rules, &second); });
        TallyRange(fd, 0, scan->size, middle, rules, &first);
        other.join();
    } else {
        TallyRange(fd, 0, scan->size, -1, rules, &first);
    }
    if (!first.stopped)
        second = Tally{};
    scan->prefixLength = first.prefixLength;
    scan->error = !first.error.isEmpty() ? first.error : second.error;
    if (!scan->error.isEmpty())
        return false;
    counts->messages = first.counts.messages + second.counts.messages;
    counts->unread = first.counts.unread + second.counts.unread;
    scan->ok = true;
    return true;
}

bool SameFileAsScanned(const QString& path, const MboxScan& scan) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 &&
           quint64(st.st_ino) == scan.inode && st.st_size == scan.size &&
           ModifiedTime(st) == scan.modified;
}

bool StartsAsMbox(QFile* file) {
    QByteArray head = file->read(8);
    if (head.startsWith(kBom))
        head.remove(0, kBom.size());
    // An empty file must read as empty: a pseudo file says it is empty whatever it holds.
    const bool empty = file->size() == 0 && head.isEmpty() && file->error() == QFileDevice::NoError;
    return empty || head.startsWith("From ") || (file->size() == kBom.size() && head.isEmpty());
}

bool LooksLikeMbox(const QString& path) {
    QFile file(path);
    return OpenRegularFileToPeek(&file, path) && StartsAsMbox(&file);
}

bool ReadMboxIdentity(int fd, MboxScan* scan, QString* error) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *error = SystemErrorText(errno);
        return false;
    }
    scan->size = st.st_size;
    scan->modified = ModifiedTime(st);
    scan->inode = st.st_ino;
    return true;
}

bool ForEachMboxMessage(int fd, MboxScan* scan,
                        const std::function<void(const MboxMessage&)>& each) {
    if (!ReadMboxIdentity(fd, scan, &scan->error))
        return false;
    MboxReader reader(fd, 0, scan->size);
    MboxMessage message;
    while (reader.next(&message))
        each(message);
    scan->prefixLength = reader.prefixLength();
    if (reader.failed()) {
        scan->error = reader.error();
        return false;
    }
    scan->ok = true;
    return true;
}

MboxScan ScanMbox(const QString& path) {
    MboxScan scan;
    QFile file(path);
    if (!OpenRegularFile(&file, path, &scan.error))
        return scan;
    ForEachMboxMessage(file.handle(), &scan,
                       [&scan](const MboxMessage& message) { scan.messages.push_back(message); });
    return scan;
}

void SummarizeMboxMessage(const QByteArray& separatorLine, const QByteArray& header,
                          HeaderSummary* summary, QDateTime* receivedDate) {
    *receivedDate = ParseMboxFromLineDate(separatorLine.trimmed());
    const bool needReceived = !receivedDate->isValid();
    *summary = SummarizeHeader(SummaryFieldsOf(header, needReceived), needReceived);
}

} // namespace parcelo
