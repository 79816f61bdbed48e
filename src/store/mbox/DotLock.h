#pragma once

#include <QString>

namespace parcelo {

// The mail client's dot-lock of a mailbox file: NAME.lock beside it, created exclusively.
// A lock older than the stale age is taken over; a fresh one makes acquire() fail.
class DotLock {
public:
    explicit DotLock(const QString& mailboxPath);
    ~DotLock();
    DotLock(const DotLock&) = delete;
    DotLock& operator=(const DotLock&) = delete;

    bool acquire(QString* error);
    void release();

    static constexpr int kStaleSeconds = 300;

private:
    QString lockPath_;
    bool held_ = false;
};

} // namespace parcelo
