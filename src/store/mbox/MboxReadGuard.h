// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <chrono>
#include <sys/stat.h>

namespace parcelo {

// One read of an open mailbox file, guarded against its writers. A shared fcntl lock on the file,
// as readers that honour a mail server's locks take it, makes a writer that locks wait until it
// is let go; the file's state when the read began shows a change by a writer that takes no lock
// (its size, or the times of its last write and status change).
class MboxReadGuard {
public:
    explicit MboxReadGuard(const QString& path) : path_(path) {}
    ~MboxReadGuard() { unlock(); }
    MboxReadGuard(const MboxReadGuard&) = delete;
    MboxReadGuard& operator=(const MboxReadGuard&) = delete;

    // Locks the open file fd (not taken over) for reading, waiting up to wait while another
    // program holds a write lock, and notes its state. When the lock is not had in time the read
    // goes on without it and blocker() says who held it; a file system without locks needs none.
    // False, with the reason, only when the file's state cannot be read.
    bool lock(int fd, std::chrono::milliseconds wait, QString* error);
    // Notes the file's state anew, without a lock (after a change of our own).
    bool watch(int fd, QString* error);
    // Lets the lock go; the state noted stays, to compare with.
    void unlock();
    // Lets the lock go and the file too, before it is closed.
    void forget();

    // The lock that kept the read from locking, in words; empty when there was none.
    const QString& blocker() const { return blocker_; }
    // How the file differs from the state noted, in words; empty while it does not.
    QString change() const;

private:
    QString path_;
    int fd_ = -1;
    bool locked_ = false;
    struct stat noted_ = {};
    QString blocker_;
};

} // namespace parcelo
