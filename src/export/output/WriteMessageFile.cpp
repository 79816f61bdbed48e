#include "export/output/WriteMessageFile.h"

#include "platform/RenameNoReplace.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

// A dot-name never taken for a message file (names are cleaned of leading dots), holding the
// writer's process id so that the files of dead runs can be told apart from live ones.
const QString kTemporaryPrefix = QStringLiteral(".parcelo-");
const QString kTemporarySuffix = QStringLiteral(".part");

QString temporaryName(int attempt) {
    static std::atomic<unsigned> counter{0};
    static const QString prefix = kTemporaryPrefix + QString::number(getpid()) + u'-';
    return prefix + QString::number(counter++) + u'-' + QString::number(attempt) + kTemporarySuffix;
}

void setError(QString* error, const QString& path, int code) {
    if (error)
        *error = path.isEmpty() ? SystemErrorText(code)
                                : path + QStringLiteral(": ") + SystemErrorText(code);
}

} // namespace

bool WriteAllToFd(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, static_cast<size_t>(left));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        left -= done;
    }
    return true;
}

QString WriteTemporaryMessageFile(const QString& directory, const QByteArray& bytes, QString* error,
                                  FileIdentity* identity) {
    const QString prefix = directory.endsWith(u'/') ? directory : directory + u'/';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = prefix + temporaryName(attempt);
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            setError(error, {}, errno);
            return {};
        }
        struct stat info {};
        const bool written = WriteAllToFd(fd, bytes) && ::fstat(fd, &info) == 0;
        int code = errno;
        // close reports delayed write errors of some file systems (NFS, full quotas).
        const bool closed = ::close(fd) == 0;
        if (written && closed) {
            if (identity)
                *identity = FileIdentity::of(info);
            return path;
        }
        if (written)
            code = errno;
        setError(error, {}, code);
        ::unlink(native.constData());
        return {};
    }
    setError(error, {}, EEXIST);
    return {};
}

PlaceResult PlaceMessageFile(const QString& temporary, const QString& path, QString* error) {
    switch (RenameNoReplace(temporary, path)) {
    case RenameResult::Renamed:
        return PlaceResult::Placed;
    case RenameResult::Taken:
        return PlaceResult::Taken;
    case RenameResult::Failed:
        break;
    }
    setError(error, path, errno);
    return PlaceResult::Failed;
}

bool ReplaceMessageFile(const QString& path, const QByteArray& bytes, QString* error,
                        FileIdentity* identity) {
    QString reason;
    const QString temporary =
        WriteTemporaryMessageFile(QFileInfo(path).absolutePath(), bytes, &reason, identity);
    if (temporary.isEmpty()) {
        if (error)
            *error = path + QStringLiteral(": ") + reason;
        return false;
    }
    // rename replaces the entry itself: a link there is replaced, its target left alone.
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) ==
        0)
        return true;
    setError(error, path, errno);
    QFile::remove(temporary);
    return false;
}

void RemoveOrphanedTemporaryFiles(const QString& directory) {
    static const QRegularExpression ours(QStringLiteral("^\\.parcelo-(\\d+)-\\d+-\\d+\\.part$"));
    const QDir dir(directory);
    const QStringList names = dir.entryList({kTemporaryPrefix + u'*' + kTemporarySuffix},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = ours.match(name);
        if (!match.hasMatch())
            continue;
        bool ok = false;
        const pid_t pid = match.captured(1).toInt(&ok);
        if (!ok || pid <= 0 || pid == getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue; // the writer may still be running
        ::unlink(QFile::encodeName(dir.filePath(name)).constData());
    }
}

} // namespace parcelo
