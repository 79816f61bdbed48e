#include "store/mbox/MboxScanner.h"

#include "platform/SystemErrorText.h"
#include "store/RegularFile.h"
#include "store/header/MessageHeader.h"
#include "store/header/Rfc5322Date.h"
#include "store/mbox/MboxReader.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// The modification time as the identity of a scan keeps it.
QDateTime ModifiedTime(const struct stat& st) {
    return QDateTime::fromMSecsSinceEpoch(
        qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
}

} // namespace

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
    *summary = SummarizeHeader(MessageHeader(header), !receivedDate->isValid());
}

} // namespace parcelo
