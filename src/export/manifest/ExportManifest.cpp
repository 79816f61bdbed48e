// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/ExportManifest.h"

#include "platform/ReadAt.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace parcelo {

namespace {

constexpr char kMagic[16] = {'P', 'A', 'R', 'C', 'E', 'L', 'O', '-',
                             'E', 'X', 'P', 'O', 'R', 'T', 'E', 'D'};
constexpr qint64 kHeaderSize = 24;
constexpr qint64 kScanChunk = 1 << 20;

QByteArray LogHeader() {
    QByteArray header(kMagic, sizeof kMagic);
    for (int i = 0; i < 4; ++i)
        header.append(static_cast<char>((ExportManifest::kFormatVersion >> (8 * i)) & 0xFF));
    header.append(4, '\0');
    return header;
}

QString SystemReason(const QByteArray& path) {
    return QFile::decodeName(path) + QStringLiteral(": ") + SystemErrorText(errno);
}

} // namespace

ExportManifest::~ExportManifest() {
    close();
}

QString ExportManifest::FolderOf(const QString& root) {
    return QDir::cleanPath(root) + QStringLiteral("/.parcelo");
}

QString ExportManifest::FileOf(const QString& root) {
    return FolderOf(root) + QStringLiteral("/exported");
}

QString ExportManifest::damaged(qint64 offset) const {
    return QStringLiteral("it is damaged at byte %1; move it aside to have every message "
                          "exported again")
        .arg(offset);
}

bool ExportManifest::open(const QString& root, const QDateTime& runStart, QString* error) {
    close();
    root_ = QDir::cleanPath(root);
    if (!root_.endsWith(u'/'))
        root_ += u'/';
    logPath_ = QFile::encodeName(FileOf(root));
    exportedAt_ = runStart.toMSecsSinceEpoch();
    broken_ = false;
    foldersForgotten_ = 0;
    const QByteArray folder = QFile::encodeName(FolderOf(root));
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
        *error = SystemReason(folder);
        return false;
    }
    if (!openLog(error) || !checkLog(error)) {
        index_.close();
        if (logFd_ >= 0)
            ::close(logFd_);
        logFd_ = -1;
        return false;
    }
    ManifestRecord started;
    started.kind = ManifestRecord::Kind::RunStarted;
    qint64 offset = 0;
    if (!index_.markDirty(error) || !append(started, &offset, error)) {
        broken_ = true;
        close();
        return false;
    }
    runStart_ = logSize_;
    return true;
}

bool ExportManifest::openLog(QString* error) {
    logFd_ =
        ::open(logPath_.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (logFd_ < 0) {
        *error = SystemReason(logPath_);
        return false;
    }
    if (::flock(logFd_, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK
                     ? QStringLiteral("another export into the same folder is using it")
                     : SystemReason(logPath_);
        return false;
    }
    struct stat st {};
    if (::fstat(logFd_, &st) != 0) {
        *error = SystemReason(logPath_);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("it is not a regular file");
        return false;
    }
    const QByteArray expected = LogHeader();
    QByteArray header(static_cast<qsizetype>(std::min<qint64>(st.st_size, kHeaderSize)), '\0');
    if (!header.isEmpty() && !ReadAt(logFd_, header.data(), header.size(), 0)) {
        *error = SystemReason(logPath_);
        return false;
    }
    // A header cut short is that of a list whose first run was killed as it began.
    if (header.size() < kHeaderSize && expected.startsWith(header)) {
        if (::ftruncate(logFd_, 0) != 0 ||
            ::write(logFd_, expected.constData(), static_cast<size_t>(expected.size())) !=
                expected.size()) {
            *error = SystemReason(logPath_);
            return false;
        }
        logSize_ = kHeaderSize;
        return true;
    }
    if (header.size() < kHeaderSize || !header.startsWith(QByteArrayView(kMagic, sizeof kMagic))) {
        *error = QStringLiteral("it is not a list of exported messages");
        return false;
    }
    if (header != expected) {
        quint32 version = 0;
        for (int i = 3; i >= 0; --i)
            version = (version << 8) | static_cast<unsigned char>(header[16 + i]);
        *error = QStringLiteral("it was written by another version of Parcelo (format %1; this "
                                "version reads format %2)")
                     .arg(version)
                     .arg(kFormatVersion);
        return false;
    }
    logSize_ = st.st_size;
    return true;
}

bool ExportManifest::scan(qint64 from,
                          const std::function<bool(const ManifestRecord&, qint64)>& each,
                          qint64* end, bool* torn, QString* error) {
    *torn = false;
    QByteArray buffer;
    qint64 bufferStart = from;
    qint64 offset = from;
    while (offset < logSize_) {
        // Keep what is left of the chunk read, and read on after it.
        buffer.remove(0, static_cast<qsizetype>(offset - bufferStart));
        bufferStart = offset;
        const qint64 want = std::min<qint64>(kScanChunk, logSize_ - offset - buffer.size());
        if (want > 0) {
            const qsizetype had = buffer.size();
            buffer.resize(had + static_cast<qsizetype>(want));
            if (!ReadAt(logFd_, buffer.data() + had, want, offset + had)) {
                *error = SystemReason(logPath_);
                return false;
            }
        }
        qsizetype at = 0;
        while (at < buffer.size()) {
            ManifestRecord record;
            qsizetype length = 0;
            const auto decoded =
                ManifestRecord::decode(QByteArrayView(buffer).sliced(at), &record, &length);
            if (decoded == ManifestRecord::Decoded::Whole) {
                if (each && !each(record, offset))
                    return false;
                at += length;
                offset += length;
                continue;
            }
            const bool atEnd = bufferStart + buffer.size() == logSize_;
            if (decoded == ManifestRecord::Decoded::Partial && !atEnd)
                break; // read on
            // What a write cut short leaves: part of a record, or zeros where a crash of the
            // system left the file longer than its data.
            const QByteArrayView rest = QByteArrayView(buffer).sliced(at);
            const bool zeros = std::all_of(rest.begin(), rest.end(), [](char c) { return c == 0; });
            if (decoded == ManifestRecord::Decoded::Partial || zeros) {
                *torn = true;
                *end = offset;
                return true;
            }
            *error = damaged(offset);
            return false;
        }
    }
    *end = offset;
    return true;
}

bool ExportManifest::checkLog(QString* error) {
    const QByteArray indexPath = logPath_ + ".index";
    const bool whole = index_.openClean(indexPath, logSize_);
    qint64 end = 0;
    bool torn = false;
    qint64 lastRun = kHeaderSize;
    qint64 records = 0;
    if (!scan(
            kHeaderSize,
            [&](const ManifestRecord& record, qint64 offset) {
                ++records;
                if (record.kind == ManifestRecord::Kind::RunStarted)
                    lastRun = offset;
                else if (record.kind == ManifestRecord::Kind::FoldersForgotten)
                    foldersForgotten_ = offset;
                return true;
            },
            &end, &torn, error))
        return false;
    if (torn && ::ftruncate(logFd_, end) != 0) {
        *error = SystemReason(logPath_);
        return false;
    }
    logSize_ = end;
    if (whole && !torn)
        return true;

    // The last run did not end as it should: the table is made again from the list, and the
    // files that run noted are looked at. Each record's file was noted before it got its name;
    // the one whose file did not get it (the run ended in between) is withdrawn.
    if (!index_.create(indexPath, records, error))
        return false;
    if (!scan(
            kHeaderSize,
            [&](const ManifestRecord& record, qint64 offset) {
                return record.kind == ManifestRecord::Kind::RunStarted ||
                       record.kind == ManifestRecord::Kind::FoldersForgotten ||
                       index(record, offset, error);
            },
            &end, &torn, error))
        return false;
    std::vector<std::pair<SourceFingerprint, qint64>> unplaced;
    if (!scan(
            lastRun,
            [&](const ManifestRecord& record, qint64 offset) {
                if (record.kind != ManifestRecord::Kind::Placed)
                    return true;
                qint64 latest = -1;
                ManifestRecord current;
                if (!findLocked(record.fingerprint, &latest, &current, error))
                    return false;
                QString why;
                if (latest == offset && !FileStands(absolutePath(record.path), record, &why))
                    unplaced.emplace_back(record.fingerprint, offset);
                return true;
            },
            &end, &torn, error))
        return false;
    // A run killed at any moment leaves one such record; more are left by a run whose later
    // appends failed (a full disk) after it had noted them.
    for (const auto& [fingerprint, offset] : unplaced) {
        ManifestRecord withdrawn;
        withdrawn.kind = ManifestRecord::Kind::Withdrawn;
        withdrawn.fingerprint = fingerprint;
        qint64 at = 0;
        if (!append(withdrawn, &at, error) || !index(withdrawn, at, error))
            return false;
    }
    // A folder that run found complete may hold a message withdrawn now: each is read again.
    if (!unplaced.empty()) {
        ManifestRecord forgotten;
        forgotten.kind = ManifestRecord::Kind::FoldersForgotten;
        if (!append(forgotten, &foldersForgotten_, error))
            return false;
    }
    return true;
}

bool ExportManifest::close(QString* error) {
    if (logFd_ < 0)
        return true;
    bool ok = true;
    QString reason;
    if (!broken_) {
        // The message files reach the disk before the list that says they are there: after a
        // power failure, a list marked whole names no file that was lost.
        ok = ::syncfs(logFd_) == 0 && ::fdatasync(logFd_) == 0;
        if (!ok)
            reason = SystemReason(logPath_);
        // A table not marked clean is made again by the next run.
        ok = ok && index_.markClean(logSize_, &reason);
    }
    index_.close();
    ::close(logFd_);
    logFd_ = -1;
    if (!ok && error)
        *error = reason;
    return ok;
}

QString ExportManifest::absolutePath(const QByteArray& path) const {
    const QString name = QFile::decodeName(path);
    return name.startsWith(u'/') ? name : root_ + name;
}

bool ExportManifest::readRecord(qint64 offset, ManifestRecord* record, QString* error) {
    if (offset < kHeaderSize || offset >= logSize_) {
        *error = damaged(offset);
        return false;
    }
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(512, logSize_ - offset)), '\0');
    if (!ReadAt(logFd_, bytes.data(), bytes.size(), offset)) {
        *error = SystemReason(logPath_);
        return false;
    }
    const qsizetype size = ManifestRecord::sizeOf(bytes);
    if (size > bytes.size() && offset + size <= logSize_) {
        const qsizetype had = bytes.size();
        bytes.resize(size);
        if (!ReadAt(logFd_, bytes.data() + had, size - had, offset + had)) {
            *error = SystemReason(logPath_);
            return false;
        }
    }
    qsizetype length = 0;
    if (ManifestRecord::decode(bytes, record, &length) != ManifestRecord::Decoded::Whole) {
        *error = damaged(offset);
        return false;
    }
    return true;
}

bool ExportManifest::findLocked(const SourceFingerprint& fingerprint, qint64* offset,
                                ManifestRecord* record, QString* error) {
    bool failed = false;
    const auto matches = [&](qint64 at) {
        if (failed || !readRecord(at, record, error)) {
            failed = true;
            return false;
        }
        return record->fingerprint == fingerprint;
    };
    if (!index_.find(ManifestIndex::keyOf(fingerprint.data()), matches, offset, error))
        return false;
    return !failed;
}

bool ExportManifest::index(const ManifestRecord& record, qint64 offset, QString* error) {
    bool failed = false;
    const auto matches = [&](qint64 at) {
        ManifestRecord other;
        if (failed || !readRecord(at, &other, error)) {
            failed = true;
            return false;
        }
        return other.fingerprint == record.fingerprint;
    };
    return index_.set(ManifestIndex::keyOf(record.fingerprint.data()), offset, matches, error) &&
           !failed;
}

bool ExportManifest::find(const SourceFingerprint& fingerprint, std::optional<Found>* found,
                          QString* error) {
    found->reset();
    if (logFd_ < 0) {
        *error = QStringLiteral("the list of exported messages is not open");
        return false;
    }
    qint64 offset = -1;
    ManifestRecord record;
    if (!findLocked(fingerprint, &offset, &record, error))
        return false;
    if (offset >= 0 && record.kind == ManifestRecord::Kind::Placed)
        *found = Found{record, offset >= runStart_, absolutePath(record.path)};
    return true;
}

bool ExportManifest::append(const ManifestRecord& record, qint64* offset, QString* error) {
    std::lock_guard lock(appending_);
    if (broken_) {
        *error = QStringLiteral("the list of exported messages '%1' could not be written "
                                "earlier in this run")
                     .arg(QFile::decodeName(logPath_));
        return false;
    }
    const QByteArray bytes = record.encode();
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            ::write(logFd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = EIO;
            *error = SystemReason(logPath_);
            // The part written is taken back; should that fail too, the next run cuts it off.
            if (::ftruncate(logFd_, logSize_) != 0)
                broken_ = true;
            return false;
        }
        done += put;
    }
    *offset = logSize_;
    logSize_ += bytes.size(); // readers see the record once it is whole
    return true;
}

bool ExportManifest::notePlacing(const SourceFingerprint& fingerprint, const QString& path,
                                 qint64 size, FileIdentity identity, const QByteArray& messageId,
                                 qint64* offset, QString* error) {
    ManifestRecord record;
    record.kind = ManifestRecord::Kind::Placed;
    record.fingerprint = fingerprint;
    record.exportedAt = exportedAt_;
    record.size = size;
    record.identity = identity;
    record.path = QFile::encodeName(path.startsWith(root_) ? path.mid(root_.size()) : path);
    record.messageId = messageId;
    return append(record, offset, error);
}

bool ExportManifest::settle(const SourceFingerprint& fingerprint, qint64 offset, bool placed,
                            QString* error) {
    ManifestRecord record;
    record.fingerprint = fingerprint;
    if (!placed) {
        record.kind = ManifestRecord::Kind::Withdrawn;
        if (!append(record, &offset, error))
            return false;
    }
    if (!index(record, offset, error)) {
        // The table no longer covers the list: the next run makes it again, and looks at the
        // files this one noted.
        broken_ = true;
        return false;
    }
    return true;
}

SourceFingerprint ExportManifest::FolderKey(const QString& storeDirectory,
                                            const QString& treePath) {
    const QByteArray key = "folder\n" + storeDirectory.toUtf8() + '\n' + treePath.toUtf8();
    return Sha256::of(std::string_view(key.constData(), static_cast<size_t>(key.size())));
}

bool ExportManifest::noteFolderRead(const SourceFingerprint& folder, const QString& stamp,
                                    qint64 messages, const QByteArray& readEnd, QString* error) {
    ManifestRecord record;
    record.kind = ManifestRecord::Kind::FolderRead;
    record.fingerprint = folder;
    record.exportedAt = exportedAt_;
    record.size = messages;
    record.path = stamp.toUtf8();
    record.messageId = readEnd.left(ManifestRecord::kMaxMessageIdSize);
    qint64 offset = 0;
    if (!append(record, &offset, error))
        return false;
    if (!index(record, offset, error)) {
        broken_ = true;
        return false;
    }
    return true;
}

bool ExportManifest::findFolderRead(const SourceFingerprint& folder, const QString& stamp,
                                    std::optional<FolderRead>* found, QString* error) {
    found->reset();
    qint64 offset = -1;
    ManifestRecord record;
    if (!findLocked(folder, &offset, &record, error))
        return false;
    if (offset > foldersForgotten_ && record.kind == ManifestRecord::Kind::FolderRead)
        *found = FolderRead{record.size, record.path == stamp.toUtf8(), record.messageId};
    return true;
}

bool ExportManifest::FileStands(const QString& path, const ManifestRecord& record, QString* why) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        *why = SystemErrorText(errno);
        return false;
    }
    // The device number may change from one mount to the next; the inode stays.
    if (!S_ISREG(st.st_mode) || st.st_ino != record.identity.inode) {
        *why = QStringLiteral("another file has its name now");
        return false;
    }
    if (st.st_size != record.size) {
        *why = QStringLiteral("it changed after it was written");
        return false;
    }
    return true;
}

} // namespace parcelo
