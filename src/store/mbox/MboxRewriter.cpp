// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxRewriter.h"

#include "platform/FileInDirectory.h"
#include "platform/PendingFile.h"
#include "platform/SystemErrorText.h"
#include "store/mbox/DotLock.h"
#include "store/mbox/MboxContentLength.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace parcelo {

namespace {

std::function<void(MboxRewriteStage)>& RewriteHook() {
    static std::function<void(MboxRewriteStage)> hook;
    return hook;
}

void AtStage(MboxRewriteStage stage) {
    if (RewriteHook())
        RewriteHook()(stage);
}

// A path of the form /proc/self/fd/N stands for a file opened before, links followed then.
bool IsPinnedPath(const QByteArray& path) {
    const QByteArray prefix = QByteArrayLiteral("/proc/self/fd/");
    return path.startsWith(prefix) && !path.mid(prefix.size()).contains('/');
}

void RemoveEntry(const FileInDirectory& file) {
    ::unlinkat(file.directory(), file.entry(), 0);
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The mailbox file, open and locked with an fcntl lock for as long as the object lives. The
// lock belongs to this open file (not to the process), so that no other close() of the same
// file in this process drops it.
class LockedMailbox {
public:
    explicit LockedMailbox(const FileInDirectory& file) : file_(file), path_(file.displayPath()) {}
    ~LockedMailbox() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    LockedMailbox(const LockedMailbox&) = delete;
    LockedMailbox& operator=(const LockedMailbox&) = delete;

    // Opens and locks the file, waiting a moment for a program that holds a lock briefly.
    bool open(QString* error) {
        const int dir = file_.directory();
        const char* name = file_.entry();
        fd_ = ::openat(dir, name, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        short type = F_WRLCK;
        if (fd_ < 0 && errno == EACCES) {
            // A file we may not write can still be kept from growing: a read lock stops a
            // program that locks before writing.
            fd_ = ::openat(dir, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            type = F_RDLCK;
        }
        if (fd_ < 0) {
            *error = QStringLiteral("cannot open %1: %2").arg(path_, SystemErrorText(errno));
            return false;
        }
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            struct flock lock = {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0)
                return true;
            // A file system without record locks still has the dot-lock, and appends are
            // caught up before the rename.
            if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL)
                return true;
            if (errno != EAGAIN && errno != EACCES) {
                *error = QStringLiteral("cannot lock %1: %2").arg(path_, SystemErrorText(errno));
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        struct flock holder = {};
        holder.l_type = F_WRLCK;
        holder.l_whence = SEEK_SET;
        const bool known =
            ::fcntl(fd_, F_OFD_GETLK, &holder) == 0 && holder.l_type != F_UNLCK && holder.l_pid > 0;
        *error = known ? QStringLiteral("the mailbox is locked by process %1 (fcntl lock on %2)")
                             .arg(holder.l_pid)
                             .arg(path_)
                       : QStringLiteral("the mailbox is locked by another program (fcntl lock "
                                        "on %1)")
                             .arg(path_);
        return false;
    }

    int fd() const { return fd_; }

private:
    static constexpr int kAttempts = 10;
    FileInDirectory file_;
    QString path_;
    int fd_ = -1;
};

// The dot-locks a change holds: the mailbox's, and its link's when it is reached through one.
struct HeldLocks {
    DotLock* mailbox;
    DotLock* link; // null: none

    void refresh() {
        mailbox->refresh();
        if (link)
            link->refresh();
    }
    bool stillHeld(QString* error) const {
        return mailbox->stillHeld(error) && (!link || link->stillHeld(error));
    }
};

// One insertion or replacement inside a message's region.
struct Edit {
    qint64 offset;
    qint64 replaced; // bytes of the original that the text replaces
    QByteArray text;
};

class Copier {
public:
    Copier(int source, const QString& path, PendingFile* target, HeldLocks* locks)
        : source_(source), path_(path), target_(target), locks_(locks) {}

    bool copy(qint64 from, qint64 to) {
        while (from < to) {
            locks_->refresh();
            const ssize_t got =
                ::pread(source_, buffer_.get(), size_t(std::min<qint64>(kBuffer, to - from)), from);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return fail(
                    QStringLiteral("cannot read %1: %2").arg(path_, SystemErrorText(errno)));
            if (got == 0)
                return fail(QStringLiteral("%1 changed while it was rewritten").arg(path_));
            if (!target_->write(buffer_.get(), got))
                return failedWrite();
            from += got;
            written_ += got;
        }
        return true;
    }
    bool write(const QByteArray& text) {
        written_ += text.size();
        return target_->write(text.constData(), text.size()) || failedWrite();
    }
    qint64 written() const { return written_; }
    // Why the last copy or write failed, naming the mailbox.
    const QString& error() const { return error_; }

private:
    bool fail(const QString& error) {
        error_ = error;
        return false;
    }
    bool failedWrite() {
        return fail(QStringLiteral("cannot rewrite %1: %2")
                        .arg(path_, SystemErrorText(target_->failure())));
    }

    static constexpr qint64 kBuffer = 65536;
    int source_;
    QString path_;
    PendingFile* target_;
    HeldLocks* locks_;
    QString error_;
    std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBuffer);
    qint64 written_ = 0;
};

// The offset after the empty lines at [from, to) of the file: appended mail that starts with
// the empty line before its separator must not begin a file, which would then be no mbox.
qint64 SkipEmptyLines(int fd, qint64 from, qint64 to) {
    char pair[2];
    while (from < to) {
        const ssize_t got = ::pread(fd, pair, size_t(std::min<qint64>(2, to - from)), from);
        if (got >= 1 && pair[0] == '\n')
            from += 1;
        else if (got == 2 && pair[0] == '\r' && pair[1] == '\n')
            from += 2;
        else
            break;
    }
    return from;
}

std::vector<Edit> EditsOf(const MboxMessage& message, const MboxChange& change) {
    std::vector<Edit> edits;
    if (change.mozStatus)
        edits.push_back({message.mozStatusOffset, message.mozStatusLength,
                         MozillaStatusText(*change.mozStatus, message.mozStatusLength)});
    if (change.mozStatus2)
        edits.push_back({message.mozStatus2Offset, message.mozStatus2Length,
                         MozillaStatusText(*change.mozStatus2, message.mozStatus2Length)});
    if (change.mozKeys)
        edits.push_back({message.mozKeysOffset, message.mozKeysLength,
                         PaddedKeys(*change.mozKeys, message.mozKeysLength)});
    if (!change.addedFields.isEmpty())
        edits.push_back({message.contentStart, 0, change.addedFields});
    if (change.addRead) {
        if (message.statusValueOffset >= 0) {
            edits.push_back({message.statusValueOffset, 0, QByteArray("R")});
        } else {
            QByteArray field = "Status: RO" + message.lineEnd;
            if (message.headerLineEndMissing)
                field.prepend(message.lineEnd);
            edits.push_back({message.headerEnd, 0, field});
        }
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
    return edits;
}

bool EditInPlace(int fd, const QString& path, const MboxScan& scan,
                 const std::vector<MboxChange>& changes, HeldLocks* locks, QString* error) {
    for (size_t i = 0; i < changes.size(); ++i) {
        locks->refresh();
        const MboxMessage& message = scan.messages[i];
        // Each edit replaces exactly the bytes the scan found there, or the file changed.
        const MboxChange original{
            false, message.mozStatus, message.mozStatus2, message.mozKeys, false, {}};
        const std::vector<Edit> expected = EditsOf(message, original);
        for (const Edit& edit : EditsOf(message, changes[i])) {
            const auto before = std::find_if(expected.begin(), expected.end(), [&](const Edit& e) {
                return e.offset == edit.offset;
            });
            QByteArray found(edit.replaced, '\0');
            if (before == expected.end() || edit.text.size() != edit.replaced ||
                ::pread(fd, found.data(), size_t(found.size()), edit.offset) != found.size() ||
                found.compare(before->text, Qt::CaseInsensitive) != 0) {
                *error = QStringLiteral("%1 changed while it was open").arg(path);
                return false;
            }
            const ssize_t n =
                ::pwrite(fd, edit.text.constData(), size_t(edit.text.size()), edit.offset);
            if (n != edit.text.size()) {
                // A short write sets no errno.
                *error = QStringLiteral("cannot write %1: %2")
                             .arg(path, SystemErrorText(n < 0 ? errno : EIO));
                return false;
            }
        }
    }
    if (::fsync(fd) != 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, SystemErrorText(errno));
        return false;
    }
    return true;
}

// What the copy has taken from the mailbox so far.
struct Copied {
    qint64 size;
    timespec modified;
};

// Copies what a program that does not lock appended since the copy began. False when the
// file changed in another way (it shrank, or changed without growing): its content is then
// no longer what was copied.
bool CatchUp(int fd, const QString& path, qint64 prefixLength, Copier* copier, Copied* copied,
             QString* error) {
    for (int round = 0; round < 100; ++round) {
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, SystemErrorText(errno));
            return false;
        }
        if (st.st_size == copied->size && SameTime(st.st_mtim, copied->modified))
            return true;
        if (st.st_size <= copied->size) {
            *error = QStringLiteral("%1 changed while it was rewritten").arg(path);
            return false;
        }
        const qint64 from = copier->written() == prefixLength
                                ? SkipEmptyLines(fd, copied->size, st.st_size)
                                : copied->size;
        if (!copier->copy(from, st.st_size)) {
            *error = copier->error();
            return false;
        }
        copied->size = st.st_size;
        copied->modified = st.st_mtim;
    }
    *error = QStringLiteral("%1 kept growing while it was rewritten").arg(path);
    return false;
}

// After the rename, bytes appended to the old file by a program that opened it before are
// added to the new one.
bool AppendLateTail(int fd, const FileInDirectory& file, qint64 copied, bool onlyPrefixWritten,
                    QString* error) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size <= copied)
        return true;
    if (onlyPrefixWritten)
        copied = SkipEmptyLines(fd, copied, st.st_size);
    const int target =
        ::openat(file.directory(), file.entry(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    // The errno of the call that failed, taken before anything else can change it.
    int failure = target < 0 ? errno : 0;
    char buffer[65536];
    for (qint64 from = copied; failure == 0 && from < st.st_size;) {
        const ssize_t got =
            ::pread(fd, buffer, size_t(std::min<qint64>(sizeof buffer, st.st_size - from)), from);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failure = got < 0 ? errno : EIO;
            break;
        }
        for (ssize_t done = 0; failure == 0 && done < got;) {
            const ssize_t n = ::write(target, buffer + done, size_t(got - done));
            if (n > 0)
                done += n;
            else if (n == 0 || errno != EINTR)
                failure = n == 0 ? EIO : errno;
        }
        from += got;
    }
    if (failure == 0 && ::fsync(target) != 0)
        failure = errno;
    if (target >= 0)
        ::close(target);
    if (failure != 0)
        *error = QStringLiteral("%1: a message appended during the rewrite could not be kept: %2")
                     .arg(file.displayPath(), SystemErrorText(failure));
    return failure == 0;
}

// The file as a rewrite would write it, read from the original before anything is written.
class RewrittenFile {
public:
    RewrittenFile(int fd, const MboxScan& scan, const std::vector<MboxChange>& changes)
        : fd_(fd), scan_(scan), changes_(changes) {
        qint64 at = scan.prefixLength;
        for (size_t i = 0; i < scan.messages.size(); ++i) {
            if (changes[i].drop)
                continue;
            const MboxMessage& message = scan.messages[i];
            qint64 growth = 0;
            for (const Edit& edit : EditsOf(message, changes[i]))
                growth += edit.text.size() - edit.replaced;
            kept_.push_back({i, at, growth});
            at += message.regionEnd - message.separatorStart + growth;
        }
        size_ = at;
    }

    qint64 size() const { return size_; }

    // Where the body of the kept message i starts: every edit lies in the header before it.
    qint64 bodyStart(size_t i) const {
        const Kept& kept = *std::lower_bound(kept_.begin(), kept_.end(), i,
                                             [](const Kept& k, size_t n) { return k.index < n; });
        const MboxMessage& message = scan_.messages[i];
        return kept.start + (message.bodyStart - message.separatorStart) + kept.growth;
    }

    // The byte at an offset below size(); false when the original cannot be read.
    bool byteAt(qint64 offset, char* byte) const {
        if (offset < scan_.prefixLength)
            return original(offset, byte);
        const Kept& kept =
            *std::prev(std::upper_bound(kept_.begin(), kept_.end(), offset,
                                        [](qint64 at, const Kept& k) { return at < k.start; }));
        const MboxMessage& message = scan_.messages[kept.index];
        qint64 local = offset - kept.start;
        qint64 from = message.separatorStart;
        for (const Edit& edit : EditsOf(message, changes_[kept.index])) {
            if (local < edit.offset - from)
                return original(from + local, byte);
            local -= edit.offset - from;
            if (local < edit.text.size()) {
                *byte = edit.text[local];
                return true;
            }
            local -= edit.text.size();
            from = edit.offset + edit.replaced;
        }
        return original(from + local, byte);
    }

private:
    struct Kept {
        size_t index;
        qint64 start;
        qint64 growth;
    };

    bool original(qint64 offset, char* byte) const {
        ssize_t got;
        do {
            got = ::pread(fd_, byte, 1, offset);
        } while (got < 0 && errno == EINTR);
        if (got == 0)
            errno = EIO; // shorter than scanned
        return got == 1;
    }

    int fd_;
    const MboxScan& scan_;
    const std::vector<MboxChange>& changes_;
    std::vector<Kept> kept_;
    qint64 size_ = 0;
};

// A message that its Content-Length did not end must not end there in the rewritten file,
// where other bytes come after it: the messages after it would be read as its body.
bool KeepsMessageEnds(int fd, const QString& path, const MboxScan& scan,
                      const std::vector<MboxChange>& changes, QString* error) {
    std::optional<RewrittenFile> rewritten; // made for the first message that needs it
    for (size_t i = 0; i < scan.messages.size(); ++i) {
        const MboxMessage& message = scan.messages[i];
        if (changes[i].drop || message.lengthEnded || message.contentLength < 0 ||
            message.bodyStart < 0)
            continue;
        if (!rewritten)
            rewritten.emplace(fd, scan, changes);
        const qint64 bodyStart = rewritten->bodyStart(i);
        if (message.contentLength > rewritten->size() - bodyStart)
            continue;
        const qint64 end = bodyStart + message.contentLength;
        // From the byte before, which tells whether a line starts there (see lengthEndsBody).
        char window[1 + kContentLengthEndWindow];
        const qint64 size = std::min<qint64>(qint64(sizeof window), rewritten->size() - end + 1);
        for (qint64 k = 0; k < size; ++k) {
            if (!rewritten->byteAt(end - 1 + k, &window[k])) {
                *error = QStringLiteral("cannot read %1: %2").arg(path, SystemErrorText(errno));
                return false;
            }
        }
        if (ContentLengthEndsBody(QByteArrayView(window + 1, size - 1), window[0] == '\n')) {
            *error = QStringLiteral("%1 was not changed: the Content-Length field of the message "
                                    "at byte %2 would then take in the messages after it")
                         .arg(path)
                         .arg(message.separatorStart);
            return false;
        }
    }
    return true;
}

bool Rewrite(int fd, const FileInDirectory& file, const MboxScan& scan,
             const std::vector<MboxChange>& changes, const struct stat& original, HeldLocks* locks,
             QString* error) {
    const QString path = file.displayPath();
    if (!KeepsMessageEnds(fd, path, scan, changes, error))
        return false;
    Copied copied{original.st_size, original.st_mtim};
    const auto failed = [&](const QString& text, int failure) {
        *error = text.arg(path, SystemErrorText(failure));
        return false;
    };
    PendingFile target;
    if (!target.begin(file, {PendingFile::Naming::Temporary, true, true}))
        return failed(QStringLiteral("cannot create a temporary file beside %1: %2"),
                      target.failure());
    AtStage(MboxRewriteStage::Locked);
    Copier copier(fd, path, &target, locks);
    bool ok = copier.copy(0, scan.prefixLength);
    for (size_t i = 0; ok && i < scan.messages.size(); ++i) {
        const MboxMessage& message = scan.messages[i];
        if (changes[i].drop)
            continue;
        qint64 position = message.separatorStart;
        for (const Edit& edit : EditsOf(message, changes[i])) {
            ok = ok && copier.copy(position, edit.offset) && copier.write(edit.text);
            position = edit.offset + edit.replaced;
        }
        ok = ok && copier.copy(position, message.regionEnd);
    }
    if (!ok) {
        *error = copier.error();
        return false;
    }
    AtStage(MboxRewriteStage::Copied);
    // Catch up before the long flush and again just before the rename, so that the window in
    // which an append can be missed is as short as it can be. A lock another program broke and
    // took meanwhile no longer keeps others out: the change is given up rather than renamed
    // over what they may have written.
    if (!CatchUp(fd, path, scan.prefixLength, &copier, &copied, error))
        return false;
    if (!target.flush())
        return failed(QStringLiteral("cannot write %1: %2"), target.failure());
    if (!CatchUp(fd, path, scan.prefixLength, &copier, &copied, error) || !locks->stillHeld(error))
        return false;
    switch (target.replace(file, &original)) {
    case PendingFile::Placed::Placed:
        break;
    case PendingFile::Placed::Taken:
        *error = QStringLiteral("%1 was replaced by another file while it was rewritten").arg(path);
        return false;
    case PendingFile::Placed::Failed:
        return failed(QStringLiteral("cannot write %1: %2"), target.failure());
    }
    AtStage(MboxRewriteStage::Renamed);
    return AppendLateTail(fd, file, copied.size, copier.written() == scan.prefixLength, error);
}

} // namespace

void SetMboxRewriteHook(std::function<void(MboxRewriteStage)> hook) {
    RewriteHook() = std::move(hook);
}

QByteArray MozillaStatusText(quint32 value, int width) {
    return QByteArray::number(value, 16).rightJustified(width, '0');
}

QByteArray PaddedKeys(const QByteArray& keys, int width) {
    return keys.size() < width ? keys + QByteArray(width - keys.size(), ' ') : keys;
}

bool FitsMozillaStatus(const MboxMessage& message, quint32 value) {
    return message.mozStatusOffset >= 0 &&
           MozillaStatusText(value, message.mozStatusLength).size() == message.mozStatusLength;
}

bool ChangesInPlace(const MboxMessage& message, const MboxChange& change) {
    if (change.drop || change.addRead || !change.addedFields.isEmpty())
        return false;
    if (change.mozStatus && !FitsMozillaStatus(message, *change.mozStatus))
        return false;
    if (change.mozStatus2 &&
        (message.mozStatus2Offset < 0 ||
         MozillaStatusText(*change.mozStatus2, message.mozStatus2Length).size() !=
             message.mozStatus2Length))
        return false;
    return !change.mozKeys || (message.mozKeysOffset >= 0 &&
                               change.mozKeys->size() <= qsizetype(message.mozKeysLength));
}

bool ApplyMboxChanges(const QString& path, const MboxScan& scan,
                      const std::vector<MboxChange>& changes, QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    const bool any = std::any_of(changes.begin(), changes.end(),
                                 [](const MboxChange& c) { return c.changesAnything(); });
    if (!any)
        return true;
    // The mailbox is found by the bytes of its names, from the path the scan read to the
    // rename: a name that is not UTF-8, spelled as text and back, is another file's. A linked
    // mailbox is changed where it lives; the link is locked as well, for programs that know the
    // mailbox by the link's name.
    const QByteArray given = QFile::encodeName(path);
    const QByteArray resolved = ResolvedPath(given);
    FileInDirectory real;
    if (resolved.isEmpty() || !real.open(resolved)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, SystemErrorText(errno));
        return false;
    }
    FileInDirectory link;
    struct stat entry;
    const bool linked =
        link.open(given) && link.stat(&entry) && S_ISLNK(entry.st_mode) && !IsPinnedPath(given);
    DotLock lock(real);
    if (!lock.acquire(error))
        return false;
    DotLock linkLock(link);
    if (linked && !linkLock.acquire(error))
        return false;
    LockedMailbox mailbox(real);
    if (!mailbox.open(error))
        return false;
    struct stat st;
    struct stat named;
    if (::fstat(mailbox.fd(), &st) != 0 || ::stat(given.constData(), &named) != 0 ||
        !SameFile(named, st) || !SameFileAsScanned(path, scan)) {
        *error = QStringLiteral("%1 changed while it was open").arg(path);
        return false;
    }
    PendingFile::RemoveLeftovers(real);
    bool inPlace = true;
    for (size_t i = 0; inPlace && i < changes.size(); ++i)
        inPlace = ChangesInPlace(scan.messages[i], changes[i]);
    HeldLocks locks{&lock, linked ? &linkLock : nullptr};
    const bool ok =
        inPlace ? EditInPlace(mailbox.fd(), real.displayPath(), scan, changes, &locks, error)
                : Rewrite(mailbox.fd(), real, scan, changes, st, &locks, error);
    if (ok) {
        RemoveEntry(real.sibling(".msf"));
        if (linked)
            RemoveEntry(link.sibling(".msf"));
    }
    return ok;
}

} // namespace parcelo
