// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirFolder.h"

#include "platform/SystemErrorText.h"
#include "store/CrlfCanonicalizer.h"
#include "store/CrlfFileStream.h"
#include "store/LineReader.h"
#include "store/RegularFile.h"
#include "store/StoreDirectory.h"
#include "store/maildir/MaildirFileName.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

// Size of the file as a CR LF source and the properties of its header, in one pass.
void Measure(MaildirFolder::Entry* entry, HeaderSummary* summary) {
    entry->measured = true;
    entry->readable = false;
    QFile file;
    QString reason;
    if (!OpenRegularFile(&file, entry->path, &reason)) {
        entry->error = entry->path + QStringLiteral(": ") + reason;
        return;
    }
    LineReader reader(&file);
    CrlfCanonicalizer counter(false);
    const LineReader::Sink count = [&counter](const char* data, qsizetype size) {
        counter.feed(data, size, nullptr);
    };
    QByteArray line;
    QByteArray header;
    bool inHeader = true;
    while (reader.next(&line, count)) {
        if (inHeader) {
            if (line == "\n" || line == "\r\n") {
                inHeader = false;
            } else {
                header.append(line);
                if (!line.endsWith('\n'))
                    header.append('\n'); // a line cut to its head
            }
        }
    }
    counter.finish(nullptr);
    if (reader.failed()) {
        entry->error = entry->path + QStringLiteral(": ") + file.errorString();
        return;
    }
    entry->cbMessage = counter.produced();
    if (summary)
        *summary = SummarizeHeader(MessageHeader(header));
    entry->readable = true;
}

// Renames without replacing an existing file, so that no message is overwritten.
bool RenameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(source.constData(), target.constData()) != 0)
        return false;
    return ::unlink(source.constData()) == 0;
}

} // namespace

MaildirFolder::MaildirFolder(const QString& directory) : directory_(directory) {}

MaildirFolder::~MaildirFolder() {
    if (open_)
        Close();
}

std::vector<MaildirFolder::Entry> MaildirFolder::ListMessages(const QString& directory) {
    std::vector<Entry> entries;
    for (const char* sub : {"new", "cur"}) {
        const StorePath dir{directory + QLatin1Char('/') + QLatin1String(sub), nullptr};
        for (const StoreDirEntry& file : ListStoreDirectory(dir)) {
            if (file.name.startsWith('.') || file.kind != StoreDirEntry::Kind::RegularFile ||
                MaildirFileName::parse(file.displayName).hasFlag(QLatin1Char('T')))
                continue;
            // A name that is not UTF-8 is read through its descriptor; it cannot be renamed
            // or removed by that path, so such a message is exported but never changed.
            const StorePath path = EntryPath(dir, file);
            if (path.path.isEmpty())
                continue;
            Entry entry;
            entry.path = path.path;
            entry.pin = path.pin;
            entry.fileName = file.displayName;
            entry.inNew = qstrcmp(sub, "new") == 0;
            entry.modified = QFileInfo(path.path).lastModified().toUTC();
            entries.push_back(entry);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.fileName < b.fileName; });
    return entries;
}

bool MaildirFolder::open(QString* error) {
    if (!QFileInfo(directory_ + QStringLiteral("/cur")).isDir() &&
        !QFileInfo(directory_ + QStringLiteral("/new")).isDir()) {
        error_ =
            QStringLiteral("%1 is not a Maildir: it has neither cur/ nor new/").arg(directory_);
        if (error)
            *error = error_;
        return false;
    }
    entries_ = ListMessages(directory_);
    open_ = true;
    return true;
}

MaildirFolder::Entry* MaildirFolder::entry(StoreMessageId id) {
    if (!open_ || id >= entries_.size() || entries_[id].gone)
        return nullptr;
    return &entries_[id];
}

MaildirFolder::Entry* MaildirFolder::liveEntry(StoreMessageId id) {
    Entry* found = entry(id);
    if (!found)
        error_ =
            open_ ? QStringLiteral("%1: message %2 is no longer there").arg(directory_).arg(id + 1)
                  : QStringLiteral("%1 is not open").arg(directory_);
    return found;
}

QString MaildirFolder::MessageLocation(StoreMessageId id) const {
    return id < entries_.size() ? entries_[id].path : QString();
}

HRESULT MaildirFolder::findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) {
    for (; id < entries_.size(); ++id) {
        Entry* message = entry(id);
        if (!message)
            continue;
        HeaderSummary summary;
        Measure(message, &summary);
        const MaildirFileName name = MaildirFileName::parse(message->fileName);
        *props = MESSAGEPROPS{};
        props->dwMessageId = id;
        if (message->inNew || !name.hasFlag(QLatin1Char('S')))
            props->dwState |= MSG_UNREAD;
        if (name.hasFlag(QLatin1Char('F')))
            props->dwState |= MSG_FLAGGED;
        props->cbMessage = message->cbMessage;
        const bool usableTime =
            message->modified.isValid() && message->modified.toSecsSinceEpoch() > 0;
        ApplyHeaderSummary(summary, usableTime ? message->modified : QDateTime(), props);
        *next = id + 1;
        return S_OK;
    }
    *next = StoreMessageId(entries_.size());
    return S_FALSE;
}

HRESULT MaildirFolder::OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) {
    Entry* message = liveEntry(id);
    if (!message)
        return E_NOTFOUND;
    if (!message->measured)
        Measure(message, nullptr);
    if (!message->readable) {
        error_ = message->error;
        return E_IO;
    }
    const qint64 size = QFileInfo(message->path).size();
    auto opened =
        std::make_unique<CrlfFileStream>(message->path, 0, size, message->cbMessage, false);
    if (!opened->open()) {
        error_ = opened->LastError();
        return E_IO;
    }
    *stream = std::move(opened);
    return S_OK;
}

HRESULT MaildirFolder::MarkMessagesAsRead(bool read, const MESSAGEIDLIST& ids) {
    if (!read)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (StoreMessageId id : ids.ids) {
        Entry* message = liveEntry(id);
        if (!message) {
            hr = E_INVALIDARG;
            continue;
        }
        const MaildirFileName name = MaildirFileName::parse(message->fileName);
        if (!message->inNew && name.hasFlag(QLatin1Char('S')))
            continue;
        const QString newName = name.withFlag(QLatin1Char('S'));
        const QString newPath = directory_ + QStringLiteral("/cur/") + newName;
        if (message->inNew &&
            ::mkdir(QFile::encodeName(directory_ + QStringLiteral("/cur")).constData(), 0777) !=
                0 &&
            errno != EEXIST) {
            error_ =
                QStringLiteral("cannot create %1/cur: %2").arg(directory_, SystemErrorText(errno));
            hr = E_IO;
            continue;
        }
        if (!RenameNoReplace(message->path, newPath)) {
            error_ = QStringLiteral("cannot rename %1 to %2: %3")
                         .arg(message->path, newName, SystemErrorText(errno));
            hr = E_IO;
            continue;
        }
        message->path = newPath;
        message->fileName = newName;
        message->inNew = false;
    }
    return hr;
}

HRESULT MaildirFolder::DeleteMessages(const MESSAGEIDLIST& ids) {
    HRESULT hr = S_OK;
    for (StoreMessageId id : ids.ids) {
        Entry* message = liveEntry(id);
        if (!message) {
            hr = E_INVALIDARG;
        } else if (::unlink(QFile::encodeName(message->path).constData()) != 0) {
            error_ =
                QStringLiteral("cannot remove %1: %2").arg(message->path, SystemErrorText(errno));
            hr = E_IO;
        } else {
            message->gone = true;
        }
    }
    return hr;
}

HRESULT MaildirFolder::Compact() {
    if (open_)
        return S_OK;
    error_ = QStringLiteral("%1 is not open").arg(directory_);
    return E_FAIL;
}

HRESULT MaildirFolder::Close() {
    if (!open_) {
        error_ = QStringLiteral("%1 is not open").arg(directory_);
        return E_FAIL;
    }
    open_ = false;
    closeEnumerations();
    return S_OK;
}

} // namespace parcelo
