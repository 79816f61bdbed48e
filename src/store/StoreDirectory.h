// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileIdentity.h"
#include "store/SkippedFolder.h"

#include <QByteArray>
#include <QString>
#include <compare>
#include <memory>
#include <set>
#include <sys/types.h>
#include <vector>

namespace parcelo {

// An open descriptor that a path of the form /proc/self/fd/N goes through; closed with the
// last holder.
class PathPin {
public:
    explicit PathPin(int fd) : fd_(fd) {}
    ~PathPin();
    PathPin(const PathPin&) = delete;
    PathPin& operator=(const PathPin&) = delete;

    int fd() const { return fd_; }

private:
    int fd_;
};


// A path as the store's file calls take it, and what keeps it usable.
struct StorePath {
    QString path;
    std::shared_ptr<const PathPin> pin; // set when path goes through an open descriptor
};

// One entry of a store directory, links followed.
struct StoreDirEntry {
    enum class Kind { Other, Directory, RegularFile };

    QByteArray name;     // as the file system spells it
    QString displayName; // the name as text; bytes that are not UTF-8 become U+FFFD
    Kind kind = Kind::Other;
    FileIdentity identity;
};

// The entries of a directory but "." and "..", in byte order of their names; an entry that
// vanishes while it is listed, or cannot be examined, is left out.
std::vector<StoreDirEntry> ListStoreDirectory(const StorePath& directory);

// The path of an entry of directory. A name that is not UTF-8 has no spelling in a QString
// path: such an entry is reached through a descriptor opened on its bytes (/proc/self/fd/N),
// and everything below it through that path. Empty when that descriptor cannot be opened.
StorePath EntryPath(const StorePath& directory, const StoreDirEntry& entry);

// The identity of a directory, links followed; false when path is not one.
bool DirectoryIdentity(const QString& path, FileIdentity* identity);

// How many folders deep a walk of a store's tree goes.
constexpr int kMaxFolderLevel = 1000;

// Why a walk of a store's tree leaves out the entry at path whose first folder is at level
// (1: a folder of the store's own top level): it lies deeper than kMaxFolderLevel, or its path
// is too long for the system to open. Empty when the walk may take it.
QString ReasonToSkip(const StorePath& path, int level);
// Whether the walk may take the entry; if not, it is noted in skipped (when given).
bool TakesOrNotesSkipped(const StorePath& path, int level, std::vector<SkippedFolder>* skipped);

// The directories a walk has entered, so that links (a NAME.sbd pointing at ".") cannot make
// it enter one twice.
using VisitedDirectories = std::set<FileIdentity>;

} // namespace parcelo
