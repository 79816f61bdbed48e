#pragma once

#include "export/naming/MessageDestination.h"
#include "store/StoreTypes.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

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
    // A message written earlier in this run whose file now holds this message instead. Take
    // it off the list of messages for the source actions: its source is its only copy now.
    std::optional<ExportedMessageKey> replaced;

    bool written() const { return status == Status::Written; }
};

// Places and writes the message files of one export run, applying MessageOption when a
// name is taken: 0 (and any other value) a numbered name, 1 replace the file when the
// message is newer, 2 skip the message. Remembers which message each file of the run holds.
class MessageFileOutput {
public:
    MessageFileOutput(int messageOption, FileDateReader dateOfFile);

    // Creates the sub-folder, settles the name and writes the bytes (the stored message and
    // its closing CR LF CR LF) completely or not at all. messageDate is the message's own
    // Date field value, compared under MessageOption 1.
    MessageFileResult write(const MessageDestination& destination, const QString& messageDate,
                            const QByteArray& bytes, const ExportedMessageKey& key);

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
                                     const QByteArray& bytes, const ExportedMessageKey& key);

    int messageOption_;
    FileDateReader dateOfFile_;
    QHash<QString, WrittenFile> written_;
    // Per directory, name and extension: the next number to try. Files of the run are only
    // ever added, so the numbers below it stay taken; this keeps a run of many equal names
    // from probing every earlier number again.
    QHash<QString, int> nextNumber_;
};

} // namespace parcelo
