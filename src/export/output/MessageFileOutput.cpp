// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/MessageFileOutput.h"

#include "export/dates/MailDate.h"
#include "export/naming/BuildMessageFilePath.h"
#include "export/naming/NamingOptions.h"
#include "export/output/EnsureDirectoryPath.h"
#include "export/output/FileChecks.h"
#include "export/output/MessageFileDraft.h"
#include "export/output/ReadWholeFile.h"
#include "platform/SystemErrorText.h"
#include "store/CrlfCanonicalizer.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

using Status = MessageFileResult::Status;

MessageFileResult resultOf(Status status, const QString& path = {}) {
    MessageFileResult result;
    result.status = status;
    result.path = path;
    return result;
}

// The file's bytes as the store hands message sources over: a lone LF is a line end too.
QByteArray withCrlfLineEnds(const QByteArray& bytes) {
    QByteArray out;
    CrlfCanonicalizer canonical(false);
    canonical.feed(bytes.constData(), bytes.size(), &out);
    canonical.finish(&out);
    return out;
}

bool isDirectory(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

MessageFileResult failure(const QString& error, const QString& path = {}) {
    MessageFileResult result = resultOf(Status::Failed, path);
    result.error = error;
    return result;
}

} // namespace

MessageFileOutput::MessageFileOutput(int messageOption, FileDateReader dateOfFile,
                                     bool confirmFiles)
    : messageOption_(messageOption), dateOfFile_(std::move(dateOfFile)),
      confirmFiles_(confirmFiles) {}

bool MessageFileOutput::ensureDirectory(const MessageDestination& destination, bool again,
                                        QString* error) {
    if (!again && ensuredDirectories_.contains(destination.directory))
        return true;
    if (!EnsureDirectoryPath(destination.root, destination.subFolder, error))
        return false;
    ensuredDirectories_.insert(destination.directory);
    return true;
}

MessageFileDraft MessageFileOutput::prepare(const MessageDestination& destination,
                                            const QByteArray& bytes) const {
    MessageFileDraft draft;
    // Under the other options the name decides whether there is a file at all.
    if (messageOption_ == MessageSkip || messageOption_ == MessageOverwriteIfNewer ||
        destination.root.isEmpty() || !destination.valid)
        return draft;
    draft.writeNameless(destination.directory, bytes);
    return draft;
}

MessageFileResult MessageFileOutput::write(const MessageDestination& destination,
                                           const QString& messageDate, const QByteArray& bytes,
                                           const ExportedMessageKey& key,
                                           MessageFileDraft* prepared, const PlacingNote* note) {
    QString error;
    if (destination.root.isEmpty())
        return failure(QStringLiteral("no destination folder is set"));
    if (!destination.valid)
        return failure(QStringLiteral("'%1' cannot be a folder under %2")
                           .arg(destination.subFolder.join(u'/'), destination.root));
    if (!ensureDirectory(destination, false, &error))
        return failure(error);

    // Numbered names need no look first: placing a file never takes a name that is in use.
    if (messageOption_ == MessageSkip || messageOption_ == MessageOverwriteIfNewer) {
        const QString firstPath = NumberedMessageFilePath(destination.directory, destination.name,
                                                          destination.extension, 0, &error);
        if (firstPath.isEmpty())
            return failure(error);
        if (FileExists(firstPath)) {
            if (messageOption_ == MessageSkip)
                return resultOf(Status::Skipped, firstPath);
            return replaceIfNewer(firstPath, messageDate, bytes, key, note);
        }
    }
    return placeNumbered(destination, bytes, key, prepared, note);
}

MessageFileResult MessageFileOutput::placeNumbered(const MessageDestination& destination,
                                                   const QByteArray& bytes,
                                                   const ExportedMessageKey& key,
                                                   MessageFileDraft* prepared,
                                                   const PlacingNote* note) {
    const QString& dir = destination.directory;
    if (!cleanedDirectories_.contains(dir)) {
        MessageFileDraft::RemoveLeftovers(dir);
        cleanedDirectories_.insert(dir);
    }
    // Written complete before it gets its name: a real name never holds part of a message.
    QString error;
    MessageFileDraft draft;
    bool drafted = prepared && prepared->written();
    if (drafted)
        draft = std::move(*prepared);
    else
        drafted = draft.write(dir, bytes, &error);
    // The directory may have gone since it was made: make it again, once.
    if (!drafted && ensureDirectory(destination, true, nullptr))
        drafted = draft.write(dir, bytes, &error);
    if (!drafted) {
        const QString path =
            NumberedMessageFilePath(dir, destination.name, destination.extension, 0);
        return failure(path + QStringLiteral(": ") + error, path);
    }

    // Numbered names are remembered as they are given out: the next message of a name goes
    // straight to the number after the last one, the unnumbered name counting as the first.
    const bool numbered =
        messageOption_ != MessageSkip && messageOption_ != MessageOverwriteIfNewer;
    QString madeKey;
    const auto numberKey = [&]() -> const QString& {
        if (madeKey.isEmpty())
            madeKey = dir + u'/' + destination.name + u'.' + destination.extension;
        return madeKey;
    };
    int number = takenNumbers_.empty() ? 0 : takenNumbers_.next(numberKey());
    // Only the notes and the confirming of files look at which file it is.
    const FileIdentity identity = note || confirmFiles_ ? draft.identity() : FileIdentity();
    for (;;) {
        const QString path =
            NumberedMessageFilePath(dir, destination.name, destination.extension, number, &error);
        if (!path.isEmpty() && note && !(*note)(path, identity, bytes.size(), &error))
            return failure(error, path);
        const PlaceResult placed = path.isEmpty() ? PlaceResult::Failed : draft.place(path, &error);
        // Someone took the name: try the next one. A directory of that name leaves the
        // message without a file, as it always did.
        if (placed == PlaceResult::Taken && !isDirectory(path)) {
            ++number;
            continue;
        }
        if (placed != PlaceResult::Placed) {
            if (placed == PlaceResult::Taken)
                error = path + QStringLiteral(": a directory has the name");
            return failure(error, path);
        }
        // The table is made at the first name found taken: a run of unique names needs none.
        if (number > 0 || (numbered && !takenNumbers_.empty()))
            takenNumbers_.remember(numberKey(), number + 1);
        record(path, bytes.size(), key, identity);
        if (messageOption_ == MessageOverwriteIfNewer)
            rememberWritten(path, key);
        return resultOf(Status::Written, path);
    }
}

MessageFileResult MessageFileOutput::replaceIfNewer(const QString& path, const QString& messageDate,
                                                    const QByteArray& bytes,
                                                    const ExportedMessageKey& key,
                                                    const PlacingNote* note) {
    // A link or anything but a regular file gives no date, so it is never read or replaced.
    const QString existingDate =
        dateOfFile_ ? dateOfFile_(withCrlfLineEnds(ReadWholeFile(path))) : QString();
    // Both ages are taken against the same moment so that equal dates compare equal.
    const QDateTime now = QDateTime::currentDateTime();
    if (existingDate.isEmpty() || messageDate.isEmpty() ||
        DateAgeMinutes(existingDate, now) <= DateAgeMinutes(messageDate, now))
        return resultOf(Status::Skipped, path);

    const auto earlier = written_.constFind(path);
    if (earlier != written_.cend() && earlier->sourceDeleted)
        return resultOf(Status::Skipped, path);

    QString error;
    MessageFileDraft draft;
    if (!draft.write(QFileInfo(path).absolutePath(), bytes, &error))
        return failure(path + QStringLiteral(": ") + error, path);
    const FileIdentity identity = draft.identity();
    if (note && !(*note)(path, identity, bytes.size(), &error))
        return failure(error, path);
    if (!draft.replace(path, &error))
        return failure(error, path);

    MessageFileResult result = resultOf(Status::Written, path);
    if (earlier != written_.cend()) {
        result.replaced = earlier->key;
        if (earlier->key.folderId == recordFolder_ && (confirmFiles_ || doubtFrom_))
            replacedInFolder_.insert(earlier->key.messageId);
    }
    written_.remove(path);
    record(path, bytes.size(), key, identity);
    rememberWritten(path, key);
    return result;
}

void MessageFileOutput::rememberWritten(const QString& path, const ExportedMessageKey& key) {
    // Which message a file holds matters only to the source actions and to files in doubt.
    if (confirmFiles_ || doubtFrom_)
        written_.insert(path, WrittenFile{key, false});
}

void MessageFileOutput::startFolder(StoreFolderId folderId) {
    folderFiles_.clear();
    replacedInFolder_.clear();
    doubtFrom_.reset();
    recordFolder_ = folderId;
}

void MessageFileOutput::record(const QString& path, qint64 size, const ExportedMessageKey& key,
                               FileIdentity identity) {
    if (key.folderId != recordFolder_)
        startFolder(key.folderId);
    // The message handed out last may turn out to have been read while its source changed.
    if (!confirmFiles_ && !doubtFrom_)
        folderFiles_.clear();
    folderFiles_.push_back({key.messageId, identity, size, QFile::encodeName(path)});
}

void MessageFileOutput::doubtFolderFiles(StoreFolderId folderId, StoreMessageId from,
                                         const QString& reason) {
    if (folderId != recordFolder_)
        startFolder(folderId);
    if (doubtFrom_)
        return;
    doubtFrom_ = from;
    doubtReason_ = reason;
}

std::vector<UnconfirmedFile> MessageFileOutput::confirmFolderFiles(StoreFolderId folderId) {
    std::vector<UnconfirmedFile> unconfirmed;
    if (folderId != recordFolder_)
        return unconfirmed;
    QHash<dev_t, int> syncErrors; // per file system: 0 once flushed, else the error
    // A file stands for the last message written to it: one gone, its name and even its inode
    // number may have gone to a later message. So the latest are looked at first.
    QSet<FileIdentity> claimed;
    for (auto it = folderFiles_.crbegin(); it != folderFiles_.crend(); ++it) {
        if (replacedInFolder_.contains(it->messageId))
            continue;
        if (doubtFrom_ && it->messageId >= *doubtFrom_) {
            unconfirmed.push_back({it->messageId, QFile::decodeName(it->path), doubtReason_});
            continue;
        }
        if (!confirmFiles_)
            continue;
        const int fd = ::open(it->path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        QString reason;
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            reason = SystemErrorText(errno);
        } else if (!it->identity.known() || FileIdentity::of(info) != it->identity ||
                   claimed.contains(it->identity)) {
            reason = QStringLiteral("another file has its name now");
        } else if (!S_ISREG(info.st_mode) || info.st_size != it->size) {
            reason = QStringLiteral("it changed after it was written");
        } else {
            claimed.insert(it->identity);
            if (!syncErrors.contains(info.st_dev))
                syncErrors.insert(info.st_dev, ::syncfs(fd) == 0 ? 0 : errno);
            if (const int error = syncErrors.value(info.st_dev))
                reason =
                    QStringLiteral("it could not be flushed to disk: ") + SystemErrorText(error);
        }
        if (fd >= 0)
            ::close(fd);
        if (!reason.isEmpty())
            unconfirmed.push_back({it->messageId, QFile::decodeName(it->path), reason});
    }
    folderFiles_.clear();
    folderFiles_.shrink_to_fit();
    replacedInFolder_.clear();
    doubtFrom_.reset();
    std::reverse(unconfirmed.begin(), unconfirmed.end()); // in the order of the messages
    return unconfirmed;
}

void MessageFileOutput::sourceMessagesDeleted(StoreFolderId folderId) {
    for (auto it = written_.begin(); it != written_.end(); ++it) {
        if (it->key.folderId == folderId)
            it->sourceDeleted = true;
    }
}

} // namespace parcelo
