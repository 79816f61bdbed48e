// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <sys/stat.h>

namespace parcelo {

// A name in a directory, kept as bytes: a name that is not UTF-8, spelled as text and back,
// would be another file's. The directory is either held open, so that calls go through its
// descriptor (and a directory renamed meanwhile is still the one meant), or reached by its path
// at each call, which costs no descriptor for a file written once. Copies share the descriptor.
class FileInDirectory {
public:
    FileInDirectory() = default;

    // Opens the directory of path (all of it but the last name) and keeps the last name; false,
    // with errno set, when the directory cannot be opened.
    bool open(const QByteArray& path);
    // The directory of path, reached by its path, and the last name.
    static FileInDirectory ByPath(const QByteArray& path);
    // The entry named name + suffix in the same directory.
    FileInDirectory sibling(const QByteArray& suffix) const;
    // Another name in the same directory.
    FileInDirectory withName(const QByteArray& name) const;

    bool isSet() const { return !directoryPath_.isEmpty(); }
    // What the *at calls take: the directory (or AT_FDCWD) and the entry relative to it.
    int directory() const;
    const char* entry() const { return entry_.constData(); }
    // The directory itself, relative to directory().
    const char* directoryEntry() const;
    const QByteArray& name() const { return name_; }
    // The directory's path as it was given.
    const QByteArray& directoryPath() const { return directoryPath_; }
    // The path it was made from, as text for messages.
    QString displayPath() const;

    // The entry itself, a link not followed; false with errno set.
    bool stat(struct stat* st) const;
    // Flushes the directory's entries to disk.
    void syncDirectory() const;

private:
    void setPath(const QByteArray& path);

    std::shared_ptr<const int> directory_; // null: reached by its path
    QByteArray directoryPath_;
    QByteArray name_;
    QByteArray entry_;
    QByteArray path_; // as given; spelled as text only when a message asks for it
};

// The path of the file that path names with every link resolved, spelled as the file system
// spells its names; empty, with errno set, when it cannot be resolved.
QByteArray ResolvedPath(const QByteArray& path);

// Whether two stats are of the same file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace parcelo
