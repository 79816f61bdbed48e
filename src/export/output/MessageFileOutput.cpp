#include "export/output/MessageFileOutput.h"

#include "export/dates/MailDate.h"
#include "export/naming/BuildMessageFilePath.h"
#include "export/naming/NamingOptions.h"
#include "export/output/EnsureDirectoryPath.h"
#include "export/output/FileChecks.h"
#include "export/output/ReadWholeFile.h"
#include "export/output/WriteMessageFile.h"

namespace parcelo {

namespace {

using Status = MessageFileResult::Status;

MessageFileResult resultOf(Status status, const QString& path = {}) {
    MessageFileResult result;
    result.status = status;
    result.path = path;
    return result;
}

} // namespace

MessageFileOutput::MessageFileOutput(int messageOption, FileDateReader dateOfFile)
    : messageOption_(messageOption), dateOfFile_(std::move(dateOfFile)) {}

MessageFileResult MessageFileOutput::write(const MessageDestination& destination,
                                           const QString& messageDate, const QByteArray& bytes,
                                           const ExportedMessageKey& key) {
    if (!destination.valid || !EnsureDirectoryPath(destination.root, destination.subFolder))
        return resultOf(Status::Failed);

    const QString& dir = destination.directory;
    const QString firstPath =
        BuildMessageFilePath(dir, destination.name, destination.extension, false, false);
    if (firstPath.isEmpty())
        return resultOf(Status::Failed);

    if (FileExists(firstPath)) {
        if (messageOption_ == MessageSkip)
            return resultOf(Status::Skipped, firstPath);
        if (messageOption_ == MessageOverwriteIfNewer)
            return replaceIfNewer(firstPath, messageDate, bytes, key);
    }

    const QString numberKey = dir + u'/' + destination.name + u'.' + destination.extension;
    int number = 0;
    const QString path = BuildMessageFilePath(dir, destination.name, destination.extension, true,
                                              true, nextNumber_.value(numberKey), &number);
    if (path.isEmpty())
        return resultOf(Status::Failed);
    // Only names that were taken need remembering; keeping every name would grow with the run.
    if (number > 0)
        nextNumber_.insert(numberKey, number + 1);
    if (!WriteReservedMessageFile(path, bytes))
        return resultOf(Status::Failed, path);
    if (messageOption_ == MessageOverwriteIfNewer)
        written_.insert(path, WrittenFile{key, false});
    return resultOf(Status::Written, path);
}

MessageFileResult MessageFileOutput::replaceIfNewer(const QString& path, const QString& messageDate,
                                                    const QByteArray& bytes,
                                                    const ExportedMessageKey& key) {
    const QString existingDate = dateOfFile_ ? dateOfFile_(ReadWholeFile(path)) : QString();
    // Both ages are taken against the same moment so that equal dates compare equal.
    const QDateTime now = QDateTime::currentDateTime();
    if (existingDate.isEmpty() || messageDate.isEmpty() ||
        DateAgeMinutes(existingDate, now) <= DateAgeMinutes(messageDate, now))
        return resultOf(Status::Skipped, path);

    const auto earlier = written_.constFind(path);
    if (earlier != written_.cend() && earlier->sourceDeleted)
        return resultOf(Status::Skipped, path);

    if (!ReplaceMessageFile(path, bytes))
        return resultOf(Status::Failed, path);

    MessageFileResult result = resultOf(Status::Written, path);
    if (earlier != written_.cend())
        result.replaced = earlier->key;
    written_.insert(path, WrittenFile{key, false});
    return result;
}

void MessageFileOutput::sourceMessagesDeleted(StoreFolderId folderId) {
    for (auto it = written_.begin(); it != written_.end(); ++it) {
        if (it->key.folderId == folderId)
            it->sourceDeleted = true;
    }
}

} // namespace parcelo
