// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileInDirectory.h"

#include <QString>

namespace parcelo {

// The mail client's dot-lock of a mailbox file: NAME.lock beside it, created exclusively and
// holding our process id. A lock that names a process of this host is taken over once that
// process is gone, whatever its age; one that does not (empty, another host's) once it is
// older than the stale age. A live one makes acquire() fail, saying who holds it. A lock held
// through a long change is refreshed, so that programs that judge locks by age alone leave it.
class DotLock {
public:
    explicit DotLock(const FileInDirectory& mailbox);
    ~DotLock();
    DotLock(const DotLock&) = delete;
    DotLock& operator=(const DotLock&) = delete;

    bool acquire(QString* error);
    // Touches the lock's time once it is older than the refresh age. Cheap enough to call for
    // every block of a copy.
    void refresh();
    // Whether the lock is still ours: another program may have broken it and taken it.
    bool stillHeld(QString* error) const;
    // Removes the lock if it is still ours.
    void release();

    static constexpr int kStaleSeconds = 300;
    static constexpr int kRefreshSeconds = 60;

private:
    FileInDirectory lock_;
    int fd_ = -1; // the lock file, open while it is held
};

// Whether a process with that id exists on this host (one we may not signal counts as alive).
bool ProcessExists(qint64 pid);

} // namespace parcelo
