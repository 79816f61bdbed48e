// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ClientProfile.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <climits>
#include <sys/wait.h>
#include <unistd.h>

namespace parcelo::test {

bool ClientProfile::create(const QString& dir, const QString& example) {
    profile_ = dir + QStringLiteral("/profile");
    store_ = profile_ + QStringLiteral("/Mail/Local Folders");
    return QDir().mkpath(store_) &&
           writeFile(profile_ + QStringLiteral("/prefs.js"),
                     "user_pref(\"mail.root.none\", \"Mail\");\n") &&
           copyTree(examplesDir() + QLatin1Char('/') + example, store_);
}

bool ClientProfile::linkLock(const QString& host, qint64 pid) const {
    const QByteArray target = (host + QStringLiteral(":+%1").arg(pid)).toLocal8Bit();
    const QByteArray link = QFile::encodeName(profile_ + QStringLiteral("/lock"));
    ::unlink(link.constData());
    return ::symlink(target.constData(), link.constData()) == 0;
}

bool ClientProfile::holdParentLock() {
    holder_ = std::make_unique<QProcess>();
    holder_->start(QStringLiteral("python3"), {QStringLiteral("-c"),
                                               QStringLiteral("import fcntl, sys, time\n"
                                                              "f = open(sys.argv[1], 'w')\n"
                                                              "fcntl.lockf(f, fcntl.LOCK_EX)\n"
                                                              "print('locked', flush=True)\n"
                                                              "time.sleep(120)\n"),
                                               profile_ + QStringLiteral("/.parentlock")});
    return holder_->waitForReadyRead(20000) && holder_->readAll().startsWith("locked");
}

void ClientProfile::releaseParentLock() {
    if (!holder_)
        return;
    holder_->kill();
    holder_->waitForFinished(10000);
    holder_.reset();
}

QString ClientProfile::hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

} // namespace parcelo::test
