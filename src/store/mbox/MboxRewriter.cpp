#include "store/mbox/MboxRewriter.h"

#include "store/mbox/DotLock.h"
#include "store/FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <unistd.h>

namespace parcelo {

namespace {

QByteArray MozillaStatusText(quint32 value, int width) {
    return QByteArray::number(value, 16).rightJustified(width, '0');
}

// One insertion or replacement inside a message's region.
struct Edit {
    qint64 offset;
    qint64 replaced; // bytes of the original that the text replaces
    QByteArray text;
};

class Copier {
public:
    Copier(QFile* source, FileReplacement* target) : source_(source), target_(target) {}

    bool copy(qint64 from, qint64 to) {
        if (!source_->seek(from))
            return false;
        char buffer[65536];
        while (from < to) {
            const qint64 got = source_->read(buffer, std::min<qint64>(sizeof buffer, to - from));
            if (got <= 0 || !target_->write(buffer, got))
                return false;
            from += got;
        }
        return true;
    }
    bool write(const QByteArray& text) { return target_->write(text.constData(), text.size()); }

private:
    QFile* source_;
    FileReplacement* target_;
};

std::vector<Edit> EditsOf(const MboxMessage& message, const MboxChange& change) {
    std::vector<Edit> edits;
    if (change.mozStatus)
        edits.push_back({message.mozStatusOffset, message.mozStatusLength,
                         MozillaStatusText(*change.mozStatus, message.mozStatusLength)});
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
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
    return edits;
}

bool EditInPlace(const QString& path, const MboxScan& scan, const std::vector<MboxChange>& changes,
                 QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = file.errorString();
        return false;
    }
    for (size_t i = 0; i < changes.size(); ++i) {
        if (!changes[i].mozStatus)
            continue;
        const MboxMessage& message = scan.messages[i];
        const QByteArray expected = MozillaStatusText(message.mozStatus, message.mozStatusLength);
        const QByteArray text = MozillaStatusText(*changes[i].mozStatus, message.mozStatusLength);
        if (!file.seek(message.mozStatusOffset) ||
            file.read(message.mozStatusLength).compare(expected, Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("%1 changed while it was open").arg(path);
            return false;
        }
        if (!file.seek(message.mozStatusOffset) || file.write(text) != text.size()) {
            *error = file.errorString();
            return false;
        }
    }
    if (!file.flush() || ::fsync(file.handle()) != 0) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool Rewrite(const QString& path, const MboxScan& scan, const std::vector<MboxChange>& changes,
             QString* error) {
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    FileReplacement target(path);
    if (!target.begin(error))
        return false;
    Copier copier(&source, &target);
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
        *error = QStringLiteral("cannot rewrite %1").arg(path);
        target.abort();
        return false;
    }
    return target.commit(error);
}

} // namespace

bool FitsMozillaStatus(const MboxMessage& message, quint32 value) {
    return message.mozStatusOffset >= 0 &&
           MozillaStatusText(value, message.mozStatusLength).size() == message.mozStatusLength;
}

bool ApplyMboxChanges(const QString& path, const MboxScan& scan,
                      const std::vector<MboxChange>& changes, QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    const bool any = std::any_of(changes.begin(), changes.end(), [](const MboxChange& c) {
        return c.drop || c.addRead || c.mozStatus;
    });
    if (!any)
        return true;
    DotLock lock(path);
    if (!lock.acquire(error))
        return false;
    if (!SameFileAsScanned(path, scan)) {
        *error = QStringLiteral("%1 changed while it was open").arg(path);
        return false;
    }
    const bool inPlace = std::all_of(changes.begin(), changes.end(),
                                     [](const MboxChange& c) { return !c.drop && !c.addRead; });
    const bool ok =
        inPlace ? EditInPlace(path, scan, changes, error) : Rewrite(path, scan, changes, error);
    if (ok)
        QFile::remove(path + QStringLiteral(".msf"));
    return ok;
}

} // namespace parcelo
