#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <sys/stat.h>

namespace parcelo {

// A name in an open directory. Calls on it go through the directory's descriptor and the
// name's bytes: a name that is not UTF-8, spelled as text and back, would be another file's,
// and a directory renamed meanwhile is still the one meant. Copies share the descriptor.
class FileInDirectory {
public:
    FileInDirectory() = default;

    // Opens the directory of path (all of it but the last name) and keeps the last name; false,
    // with errno set, when the directory cannot be opened.
    bool open(const QByteArray& path);
    // The entry named name + suffix in the same directory.
    FileInDirectory sibling(const QByteArray& suffix) const;
    // Another name in the same directory.
    FileInDirectory withName(const QByteArray& name) const;

    bool isOpen() const { return directory_ != nullptr; }
    int directory() const { return directory_ ? *directory_ : -1; }
    const QByteArray& name() const { return name_; }
    // The directory's path as it was opened.
    const QByteArray& directoryPath() const { return directoryPath_; }
    // The path it was opened with, as text for messages.
    QString displayPath() const { return displayPath_; }

    // The entry itself, a link not followed; false with errno set.
    bool stat(struct stat* st) const;

private:
    std::shared_ptr<const int> directory_;
    QByteArray directoryPath_;
    QByteArray name_;
    QString displayPath_;
};

// The path of the file that path names with every link resolved, spelled as the file system
// spells its names; empty, with errno set, when it cannot be resolved.
QByteArray ResolvedPath(const QByteArray& path);

// Whether two stats are of the same file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace parcelo
