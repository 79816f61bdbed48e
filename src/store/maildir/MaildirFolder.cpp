// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirFolder.h"

#include "platform/RenameNoReplace.h"
#include "platform/SystemErrorText.h"
#include "store/CrlfCanonicalizer.h"
#include "store/CrlfFileStream.h"
#include "store/CrlfMemoryStream.h"
#include "store/LineReader.h"
#include "store/RegularFile.h"
#include "store/StoreDirectory.h"
#include "store/header/HeaderSummary.h"
#include "store/maildir/MaildirFileName.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

bool HasFlag(std::string_view name, char flag) {
    std::string_view::size_type at = std::string_view::npos;
    for (const char* separator : {":2,", "!2,", ";2,"}) {
        const auto found = name.rfind(separator);
        if (found != std::string_view::npos && (at == std::string_view::npos || found > at))
            at = found;
    }
    return at != std::string_view::npos && name.substr(at + 3).find(flag) != std::string_view::npos;
}

// Calls found(name, inNew) for each message file of new/ and cur/: regular files (links
// followed) but dot-files and trashed messages.
template <typename Found> void ForEachMessageFile(const QByteArray& directory, Found&& found) {
    for (const char* sub : {"new", "cur"}) {
        const QByteArray path = directory + '/' + sub;
        DIR* dir = ::opendir(path.constData());
        if (!dir)
            continue;
        const bool inNew = sub[0] == 'n';
        while (const dirent* item = ::readdir(dir)) {
            if (item->d_name[0] == '.')
                continue;
            bool regular = item->d_type == DT_REG;
            if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
                struct stat st;
                regular = ::fstatat(::dirfd(dir), item->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
            }
            const std::string_view name(item->d_name);
            if (regular && !HasFlag(name, 'T'))
                found(name, inNew);
        }
        ::closedir(dir);
    }
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

bool IsUtf8(const QByteArray& name) {
    return QString::fromUtf8(name).toUtf8() == name;
}

// The CR LF size of a file's bytes and the lines of its header, as a line reader would give them.
void MeasureBytes(const QByteArray& bytes, quint64* cbMessage, QByteArray* header) {
    CrlfCanonicalizer counter(false);
    counter.feed(bytes.constData(), bytes.size(), nullptr);
    counter.finish(nullptr);
    *cbMessage = counter.produced();
    for (qsizetype pos = 0; pos < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', pos);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        const qsizetype length = end - pos;
        const char* line = bytes.constData() + pos;
        if ((length == 1 && line[0] == '\n') || (length == 2 && line[0] == '\r' && line[1] == '\n'))
            break;
        header->append(line, std::min(length, LineReader::kHeadLimit));
        if (!header->endsWith('\n'))
            header->append('\n'); // a line cut to its head
        pos = end;
    }
}

// The same for a file too big to keep, read from its descriptor in pieces; false on a read error.
bool MeasureStream(QFile* file, quint64* cbMessage, QByteArray* header) {
    LineReader reader(file);
    CrlfCanonicalizer counter(false);
    const LineReader::Sink count = [&counter](const char* data, qsizetype size) {
        counter.feed(data, size, nullptr);
    };
    QByteArray line;
    bool inHeader = true;
    while (reader.next(&line, count)) {
        if (inHeader) {
            if (line == "\n" || line == "\r\n") {
                inHeader = false;
            } else {
                header->append(line);
                if (!line.endsWith('\n'))
                    header->append('\n');
            }
        }
    }
    counter.finish(nullptr);
    *cbMessage = counter.produced();
    return !reader.failed();
}

// Reads the whole file into bytes unless it holds more than limit; false on a read error.
// sizeHint: the file's size when it was opened, read in one call with a byte to spare.
bool ReadUpTo(int fd, qint64 sizeHint, qint64 limit, QByteArray* bytes, bool* tooBig) {
    *tooBig = false;
    qsizetype size = 0;
    bytes->resize(qsizetype(std::clamp<qint64>(sizeHint + 1, 4096, limit + 1)));
    for (;;) {
        if (size == bytes->size()) {
            if (size > limit) {
                *tooBig = true;
                bytes->clear();
                return true;
            }
            bytes->resize(qsizetype(std::min<qint64>(qint64(size) * 2, limit + 1)));
        }
        const size_t wanted = size_t(bytes->size() - size);
        const ssize_t got = ::read(fd, bytes->data() + size, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        size += got;
        // Short of what was asked once the size the file had is in: its end, without another
        // call to see it.
        if (size_t(got) < wanted && size >= sizeHint)
            break;
    }
    bytes->resize(size);
    return true;
}

} // namespace

MaildirFolder::MaildirFolder(const QString& directory)
    : directory_(directory), nativeDirectory_(QFile::encodeName(directory)) {}

MaildirFolder::~MaildirFolder() {
    if (open_)
        Close();
}

MaildirFolder::Counts MaildirFolder::CountMessages(const QString& directory) {
    Counts counts;
    ForEachMessageFile(QFile::encodeName(directory), [&counts](std::string_view name, bool inNew) {
        ++counts.messages;
        if (inNew || !HasFlag(name, 'S'))
            ++counts.unread;
    });
    return counts;
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
    measured_ = Measured{};
    struct stat st;
    device_ = ::stat(nativeDirectory_.constData(), &st) == 0 ? st.st_dev : 0;
    names_ = std::make_unique<MaildirNameList>();
    QString failure;
    bool listed = true;
    ForEachMessageFile(nativeDirectory_, [&](std::string_view name, bool inNew) {
        listed = listed && names_->add(name, inNew, &failure);
    });
    if (!listed || !names_->finish(&failure)) {
        error_ = QStringLiteral("%1 cannot be listed: %2").arg(directory_, failure);
        if (error)
            *error = error_;
        return false;
    }
    gone_.assign(names_->size(), false);
    open_ = true;
    return true;
}

QByteArray MaildirFolder::nativePath(const Entry& entry) const {
    return nativeDirectory_ + (entry.inNew ? "/new/" : "/cur/") + entry.name;
}

QString MaildirFolder::pathText(const Entry& entry) const {
    return directory_ + (entry.inNew ? QStringLiteral("/new/") : QStringLiteral("/cur/")) +
           QString::fromUtf8(entry.name);
}

bool MaildirFolder::liveEntry(StoreMessageId id, Entry* found) {
    if (!open_ || id >= gone_.size() || gone_[id]) {
        error_ =
            open_ ? QStringLiteral("%1: message %2 is no longer there").arg(directory_).arg(id + 1)
                  : QStringLiteral("%1 is not open").arg(directory_);
        return false;
    }
    QString failure;
    if (!names_->at(id, &found->name, &found->inNew, &failure)) {
        error_ = QStringLiteral("%1: message %2: %3")
                     .arg(directory_, QString::number(id + 1), failure);
        return false;
    }
    return true;
}

QString MaildirFolder::MessageLocation(StoreMessageId id) const {
    Entry found;
    if (!names_ || id >= names_->size() || !names_->at(id, &found.name, &found.inNew, nullptr))
        return {};
    return pathText(found);
}

bool MaildirFolder::read(const Entry& message, struct stat* st, QByteArray* header) {
    const auto fail = [&](const QString& reason) {
        measured_.error = pathText(message) + QStringLiteral(": ") + reason;
        return false;
    };
    // O_NONBLOCK: opening a FIFO would wait for a writer before fstat could refuse it.
    const int fd = ::open(nativePath(message).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(SystemErrorText(errno));
    const FdCloser closer{fd};
    // A file on the folder's own file system cannot be one of the system's (/proc, /sys).
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode) ||
        (st->st_dev != device_ && IsOnPseudoFileSystem(fd)))
        return fail(QStringLiteral("not a regular file"));
    bool tooBig = false;
    if (!ReadUpTo(fd, st->st_size, kKeptMessageSize, &measured_.bytes, &tooBig))
        return fail(SystemErrorText(errno));
    if (!tooBig) {
        MeasureBytes(measured_.bytes, &measured_.cbMessage, header);
        measured_.fileSize = measured_.bytes.size();
        return true;
    }
    QFile file;
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return fail(SystemErrorText(errno));
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return fail(file.errorString());
    if (!MeasureStream(&file, &measured_.cbMessage, header))
        return fail(file.errorString());
    measured_.fileSize = file.pos();
    return true;
}

void MaildirFolder::measure(StoreMessageId id, const Entry& message, MESSAGEPROPS* props) {
    measured_ = Measured{};
    measured_.id = id;
    measured_.valid = true;
    measured_.message = message;
    struct stat st {};
    QByteArray header;
    measured_.readable = read(message, &st, &header);
    measured_.inode = st.st_ino;
    measured_.modified = st.st_mtim;
    if (!props)
        return;
    const MaildirFileName name = MaildirFileName::parse(QString::fromUtf8(message.name));
    *props = MESSAGEPROPS{};
    props->dwMessageId = id;
    if (message.inNew || !name.hasFlag(QLatin1Char('S')))
        props->dwState |= MSG_UNREAD;
    if (name.hasFlag(QLatin1Char('F')))
        props->dwState |= MSG_FLAGGED;
    props->cbMessage = measured_.cbMessage;
    if (!measured_.readable && ::stat(nativePath(message).constData(), &st) != 0)
        st = {};
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    ApplyHeaderSummary(
        measured_.readable ? SummarizeHeader(SummaryFieldsOf(header)) : HeaderSummary{},
        modified > 999 ? QDateTime::fromMSecsSinceEpoch(modified, Qt::UTC) : QDateTime(), props);
}

HRESULT MaildirFolder::findFrom(StoreMessageId id, StoreMessageId* next, MESSAGEPROPS* props) {
    for (; id < gone_.size(); ++id) {
        if (gone_[id])
            continue;
        Entry message;
        if (!liveEntry(id, &message)) {
            // The list of names cannot be read: the message is enumerated, its reading fails.
            measured_ = Measured{};
            measured_.id = id;
            measured_.valid = true;
            measured_.error = error_;
            *props = MESSAGEPROPS{};
            props->dwMessageId = id;
        } else {
            measure(id, message, props);
        }
        *next = id + 1;
        return S_OK;
    }
    *next = StoreMessageId(gone_.size());
    return S_FALSE;
}

HRESULT MaildirFolder::OpenMessage(StoreMessageId id, std::unique_ptr<IStoreStream>* stream) {
    if (!open_ || id >= gone_.size() || gone_[id]) {
        Entry ignored;
        liveEntry(id, &ignored);
        return E_NOTFOUND;
    }
    if (!measured_.valid || measured_.id != id) {
        Entry found;
        if (!liveEntry(id, &found))
            return E_IO;
        measure(id, found, nullptr);
    }
    if (!measured_.readable) {
        error_ = measured_.error;
        return E_IO;
    }
    if (!measured_.bytes.isNull() || measured_.fileSize == 0) {
        // The bytes read for its properties are handed out while the file is still the one
        // they came from: a message changed since is not exported, nor deleted or marked later.
        struct stat st;
        if (::stat(nativePath(measured_.message).constData(), &st) != 0) {
            error_ = pathText(measured_.message) + QStringLiteral(": ") + SystemErrorText(errno);
            return E_IO;
        }
        if (st.st_ino != measured_.inode || st.st_size != measured_.fileSize ||
            st.st_mtim.tv_sec != measured_.modified.tv_sec ||
            st.st_mtim.tv_nsec != measured_.modified.tv_nsec) {
            error_ = pathText(measured_.message) +
                     QStringLiteral(": the message changed after the folder was read");
            return E_IO;
        }
        *stream = std::make_unique<CrlfMemoryStream>(measured_.bytes, 0, measured_.bytes.size(),
                                                     measured_.cbMessage, false,
                                                     pathText(measured_.message));
        return S_OK;
    }
    const QByteArray native = nativePath(measured_.message);
    const QString path = QFile::decodeName(native);
    if (QFile::encodeName(path) != native) {
        // A big message whose name has no spelling as text: read through its descriptor.
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error_ = pathText(measured_.message) + QStringLiteral(": ") + SystemErrorText(errno);
            return E_IO;
        }
        const PathPin pin(fd);
        auto opened =
            std::make_unique<CrlfFileStream>(QStringLiteral("/proc/self/fd/%1").arg(fd), 0,
                                             measured_.fileSize, measured_.cbMessage, false);
        if (!opened->open()) {
            error_ = opened->LastError();
            return E_IO;
        }
        *stream = std::move(opened);
        return S_OK;
    }
    auto opened =
        std::make_unique<CrlfFileStream>(path, 0, measured_.fileSize, measured_.cbMessage, false);
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
        Entry message;
        if (!liveEntry(id, &message)) {
            hr = E_INVALIDARG;
            continue;
        }
        const QByteArray& oldName = message.name;
        const MaildirFileName name = MaildirFileName::parse(QString::fromUtf8(oldName));
        if (!message.inNew && name.hasFlag(QLatin1Char('S')))
            continue;
        if (!IsUtf8(oldName)) {
            error_ =
                QStringLiteral("cannot rename %1: its name is not UTF-8, so it is left as it is")
                    .arg(pathText(message));
            hr = E_IO;
            continue;
        }
        const QByteArray newName = name.withFlag(QLatin1Char('S')).toUtf8();
        if (message.inNew && ::mkdir((nativeDirectory_ + "/cur").constData(), 0777) != 0 &&
            errno != EEXIST) {
            error_ =
                QStringLiteral("cannot create %1/cur: %2").arg(directory_, SystemErrorText(errno));
            hr = E_IO;
            continue;
        }
        // Never onto another file: no message is overwritten.
        if (RenameNoReplace(nativePath(message), nativeDirectory_ + "/cur/" + newName) !=
            RenameResult::Renamed) {
            error_ =
                QStringLiteral("cannot rename %1 to %2: %3")
                    .arg(pathText(message), QString::fromUtf8(newName), SystemErrorText(errno));
            hr = E_IO;
            continue;
        }
        names_->replace(id, newName, false);
        if (measured_.id == id)
            measured_ = Measured{};
    }
    return hr;
}

HRESULT MaildirFolder::DeleteMessages(const MESSAGEIDLIST& ids) {
    HRESULT hr = S_OK;
    for (StoreMessageId id : ids.ids) {
        Entry message;
        if (!liveEntry(id, &message)) {
            hr = E_INVALIDARG;
        } else if (!IsUtf8(message.name)) {
            error_ =
                QStringLiteral("cannot remove %1: its name is not UTF-8, so it is left as it is")
                    .arg(pathText(message));
            hr = E_IO;
        } else if (::unlink(nativePath(message).constData()) != 0) {
            error_ = QStringLiteral("cannot remove %1: %2")
                         .arg(pathText(message), SystemErrorText(errno));
            hr = E_IO;
        } else {
            gone_[id] = true;
            if (measured_.id == id)
                measured_ = Measured{};
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
    measured_ = Measured{};
    closeEnumerations();
    return S_OK;
}

} // namespace parcelo
