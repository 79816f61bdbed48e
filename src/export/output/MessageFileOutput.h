// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/naming/MessageDestination.h"
#include "platform/FileIdentity.h"
#include "export/output/MessageFileDraft.h"
#include "export/output/TakenNameNumbers.h"
#include "store/StoreTypes.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace parcelo {

// One exported message of a run: its folder and its id in that folder.
struct ExportedMessageKey {
    StoreFolderId folderId = 0;
    StoreMessageId messageId = 0;
    friend bool operator==(const ExportedMessageKey&, const ExportedMessageKey&) = default;
};

// The "Date" field value of a message file's bytes (empty when it has none).
using FileDateReader = std::function<QString(const QByteArray& fileBytes)>;

struct MessageFileResult {
    enum class Status {
        Written, // the file holds the whole message
        Skipped, // the name was taken and MessageOption said not to export it
        Failed,  // no file: directory, name or write failed; nothing incomplete is left
    };
    Status status = Status::Failed;
    QString path;
    QString error; // why, for Failed: the system's reason where there is one
    // A message written earlier in this run whose file now holds this message instead. Take
    // it off the list of messages for the source actions: its source is its only copy now.
    std::optional<ExportedMessageKey> replaced;

    bool written() const { return status == Status::Written; }
};

// A message file of the folder that is not on disk as it was written: its source stays.
struct UnconfirmedFile {
    StoreMessageId messageId = 0;
    QString path;
    QString reason;
};

// Places and writes the message files of one export run, applying MessageOption when a
// name is taken: 0 (and any other value) a numbered name, 1 replace the file when the
// message is newer, 2 skip the message. Remembers which message each file of the run holds
// while that can matter: when source actions will run, or the folder's files are in doubt.
class MessageFileOutput {
public:
    // confirmFiles: source actions will run, so each folder's files are remembered for
    // confirmFolderFiles; a run without them keeps only the latest file, for doubtFolderFiles.
    MessageFileOutput(int messageOption, FileDateReader dateOfFile, bool confirmFiles = true);

    // Told of each file right before it gets a name (or takes the place of a file): its path,
    // which file it is and its size. A false return (with why in error) leaves the message
    // without a file. A name that turns out to be taken is followed by a note of the next.
    using PlacingNote = std::function<bool(const QString& path, const FileIdentity& file,
                                           qint64 size, QString* error)>;

    // Creates the sub-folder, settles the name and writes the bytes (the stored message and
    // its closing CR LF CR LF) completely or not at all. messageDate is the message's own
    // Date field value, compared under MessageOption 1.
    // prepared: the bytes already written where they go (see prepare), or null.
    MessageFileResult write(const MessageDestination& destination, const QString& messageDate,
                            const QByteArray& bytes, const ExportedMessageKey& key,
                            MessageFileDraft* prepared = nullptr,
                            const PlacingNote* note = nullptr);

    // Writes the bytes as a nameless file in the destination's directory, ahead of write(),
    // where the file is going to be written whatever names are taken; else an empty draft.
    // Reads nothing that write() changes, so it may run on another thread meanwhile.
    MessageFileDraft prepare(const MessageDestination& destination, const QByteArray& bytes) const;

    // Call before the source actions of a folder: flushes the folder's files to disk (one
    // syncfs a file system) and checks that the name of each still stands for the very file
    // written (same device and inode, no file of a later message), with the size written.
    // Returns the messages whose file is not, and those doubtFolderFiles named: they must stay
    // in the store. Without source actions, only the doubted ones are looked at.
    std::vector<UnconfirmedFile> confirmFolderFiles(StoreFolderId folderId);

    // Call when the source of the folder changed while its messages were read: the files of its
    // messages from that one on are not confirmed, whatever is on disk (reason: why, for each).
    // From then on the folder's files are remembered in a run without source actions too. Call
    // only while no file is being written.
    void doubtFolderFiles(StoreFolderId folderId, StoreMessageId from, const QString& reason);

    // Call after the source actions of a folder deleted its exported messages: their files are
    // then the only copies, so they are no longer replaced. Marking messages read loses nothing
    // and needs no call.
    void sourceMessagesDeleted(StoreFolderId folderId);

private:
    struct WrittenFile {
        ExportedMessageKey key;
        bool sourceDeleted = false;
    };

    MessageFileResult replaceIfNewer(const QString& path, const QString& messageDate,
                                     const QByteArray& bytes, const ExportedMessageKey& key,
                                     const PlacingNote* note);

    MessageFileResult placeNumbered(const MessageDestination& destination, const QByteArray& bytes,
                                    const ExportedMessageKey& key, MessageFileDraft* prepared,
                                    const PlacingNote* note);
    void record(const QString& path, qint64 size, const ExportedMessageKey& key,
                FileIdentity identity);
    void rememberWritten(const QString& path, const ExportedMessageKey& key);
    // Forgets the files of the folder before, for those of this one.
    void startFolder(StoreFolderId folderId);
    // Makes the message's directory, once a run unless it went missing since.
    bool ensureDirectory(const MessageDestination& destination, bool again, QString* error);

    // One for each message written, kept only while source actions are to run: a name may
    // stand for a file of another message by then.
    struct PlacedFile {
        StoreMessageId messageId = 0;
        FileIdentity identity;
        qint64 size = 0;
        QByteArray path; // encoded, to look at and to name in a warning
    };

    int messageOption_;
    FileDateReader dateOfFile_;
    bool confirmFiles_;
    QSet<QString> ensuredDirectories_;
    QHash<QString, WrittenFile> written_; // under MessageOption 1: which message a path holds
    // Per directory, name and extension: the next number to try. Files of the run are only
    // ever added, so the numbers below it stay taken; this keeps a run of many equal names
    // from probing every earlier number again.
    TakenNameNumbers takenNumbers_;
    // The files of the folder being exported (the run goes folder by folder), in the order
    // written, until its source actions confirm them; and the messages among them whose file
    // a newer message of the folder replaced.
    StoreFolderId recordFolder_ = 0;
    std::vector<PlacedFile> folderFiles_;
    QSet<StoreMessageId> replacedInFolder_;
    // The first message of the folder whose file is in doubt, and why.
    std::optional<StoreMessageId> doubtFrom_;
    QString doubtReason_;
    // Directories already cleared of temporary files left by dead runs.
    QSet<QString> cleanedDirectories_;
};

} // namespace parcelo
