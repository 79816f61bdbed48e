// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <memory>

namespace parcelo::test {

// A mail client profile around a copy of a sample store, and the two locks by which the
// client shows that it runs: the `lock` link and an fcntl lock on `.parentlock`, held by a
// real process.
class ClientProfile {
public:
    // Makes dir/profile with prefs.js and a copy of the sample store `example` in its
    // Mail/Local Folders; false when that fails.
    bool create(const QString& dir, const QString& example);
    QString profile() const { return profile_; }
    QString store() const { return store_; }

    // The `lock` link to "HOST:+PID", as the client makes it.
    bool linkLock(const QString& host, qint64 pid) const;
    // Another process holds an fcntl write lock on `.parentlock` until releaseParentLock().
    bool holdParentLock();
    void releaseParentLock();

    static QString hostName();

private:
    QString profile_;
    QString store_;
    std::unique_ptr<QProcess> holder_;
};

} // namespace parcelo::test
