#include "store/mbox/MboxScanner.h"

#include "platform/SystemErrorText.h"
#include "store/RegularFile.h"
#include "store/header/MessageHeader.h"
#include "store/header/Rfc5322Date.h"
#include "store/mbox/MboxReader.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

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

bool ReadMboxIdentity(int fd, MboxScan* scan, QString* error) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *error = SystemErrorText(errno);
        return false;
    }
    scan->size = st.st_size;
    scan->modified = QDateTime::fromMSecsSinceEpoch(
        qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
    scan->inode = st.st_ino;
    return true;
}

bool CheckMboxStart(int fd, QString* error) {
    char head[8];
    ssize_t got;
    do {
        got = ::pread(fd, head, sizeof head, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        *error = SystemErrorText(errno);
        return false;
    }
    QByteArrayView start(head, got);
    if (start.startsWith(QByteArrayView(kBom)))
        start = start.sliced(kBom.size());
    if (start.isEmpty() || start.startsWith("From "))
        return true;
    *error = QStringLiteral("not an mbox file");
    return false;
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
    *summary = SummarizeHeader(MessageHeader(header), !receivedDate->isValid());
}

} // namespace parcelo
