#pragma once

#include "platform/FileInDirectory.h"

#include <QString>

namespace parcelo {

// The mail client's dot-lock of a mailbox file: NAME.lock beside it, created exclusively and
// holding our process id. A lock older than the stale age, or one whose process no longer
// exists on this host, is taken over; a live one makes acquire() fail, saying who holds it.
class DotLock {
public:
    explicit DotLock(const FileInDirectory& mailbox);
    ~DotLock();
    DotLock(const DotLock&) = delete;
    DotLock& operator=(const DotLock&) = delete;

    bool acquire(QString* error);
    void release();

    static constexpr int kStaleSeconds = 300;

private:
    FileInDirectory lock_;
    bool held_ = false;
};

// Whether a process with that id exists on this host (one we may not signal counts as alive).
bool ProcessExists(qint64 pid);

} // namespace parcelo
