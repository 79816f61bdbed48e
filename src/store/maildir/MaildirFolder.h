// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/EnumeratedStoreFolder.h"
#include "store/maildir/MaildirNameList.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace parcelo {

// The messages of one Maildir folder (the files of new/ and cur/ in file-name order). Marking
// read renames a file into cur/ with the S flag; deleting removes the file; both happen at once.
class MaildirFolder : public EnumeratedStoreFolder {
public:
    explicit MaildirFolder(const QString& directory);
    ~MaildirFolder() override;

    bool open(QString* error);

    HRESULT OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) override;
    HRESULT MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) override;
    HRESULT DeleteMessages(const MESSAGEIDLIST& ids) override;
    HRESULT Compact() override;
    HRESULT Close() override;
    QString LastError() const override { return error_; }
    // The message's file, where it is now (marking read moves it).
    QString MessageLocation(StoreMessageId id) const override;

    struct Counts {
        std::int32_t messages = 0;
        std::int32_t unread = 0;
    };
    // The messages of a Maildir directory and the unread ones among them, without listing them.
    static Counts CountMessages(const QString& directory);

    // Messages up to this size are read once, for their properties and their source alike.
    static constexpr qint64 kKeptMessageSize = 4 << 20;

private:
    struct Entry {
        QByteArray name;
        bool inNew = false;
    };
    // The message last enumerated, as its properties were taken from it.
    struct Measured {
        StoreMessageId id = 0;
        bool valid = false;
        bool readable = false;
        quint64 cbMessage = 0;
        qint64 fileSize = 0;
        ino_t inode = 0;
        struct timespec modified {};
        Entry message;
        QByteArray bytes; // the file's bytes, when it is small enough to keep
        QString error;    // why it could not be read
    };

    bool isOpen() const override { return open_; }
    HRESULT findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) override;
    // The file of a live message id; false when there is none, with the reason in error_.
    bool liveEntry(StoreMessageId id, Entry* found);
    QByteArray nativePath(const Entry& entry) const;
    QString pathText(const Entry& entry) const;
    // Takes the size and, when props is given, the properties of the message with this id.
    void measure(StoreMessageId id, const Entry& message, MESSAGEPROPS* props);
    // Reads the message's file into measured_; false with the reason in measured_.error.
    bool read(const Entry& message, struct stat* st, QByteArray* header);

    QString directory_;
    QByteArray nativeDirectory_;
    dev_t device_ = 0; // of the folder's directory
    std::unique_ptr<MaildirNameList> names_;
    std::vector<bool> gone_;
    Measured measured_;
    bool open_ = false;
    QString error_;
};

} // namespace parcelo
