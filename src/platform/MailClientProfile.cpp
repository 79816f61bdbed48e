// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MailClientProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/types.h>
#include <unistd.h>

namespace parcelo {

namespace {

QString HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

// The client names its host by the address its name resolves to (127.0.0.1 on most
// desktops), older ones by the name itself. Addresses are compared with the local interfaces'.
bool IsThisHost(const QString& host) {
    if (host == HostName() || host.startsWith(QStringLiteral("127.")))
        return true;
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return false;
    bool same = false;
    for (const ifaddrs* i = interfaces; i && !same; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        same = ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) &&
               host == QLatin1String(text);
    }
    ::freeifaddrs(interfaces);
    return same;
}

bool ProcessLives(qint64 pid) {
    if (pid <= 0 || pid > INT_MAX)
        return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// The `lock` link's target is "HOST:+PID" (older clients wrote "HOST:PID").
QString LinkLockHolder(const QString& profile) {
    const QString lockPath = profile + QStringLiteral("/lock");
    const QByteArray name = QFile::encodeName(lockPath);
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink(name.constData(), target, sizeof target - 1);
    if (length <= 0)
        return {};
    const QString text = QString::fromLocal8Bit(target, length);
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return {};
    QString pidText = text.mid(colon + 1);
    if (pidText.startsWith(QLatin1Char('+')))
        pidText.remove(0, 1);
    bool ok = false;
    const qint64 pid = pidText.toLongLong(&ok);
    if (!ok || !IsThisHost(text.left(colon)) || !ProcessLives(pid))
        return {};
    return QStringLiteral("%1 -> %2, process %3 is running").arg(lockPath, text).arg(pid);
}

QString FcntlLockHolder(const QString& profile) {
    const QString lockPath = profile + QStringLiteral("/.parentlock");
    const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    // F_GETLK reports a lock of another process whatever mode the file was opened in.
    const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    if (!held)
        return {};
    if (probe.l_pid > 0)
        return QStringLiteral("%1 is locked by process %2").arg(lockPath).arg(probe.l_pid);
    return QStringLiteral("%1 is locked by another process").arg(lockPath);
}

} // namespace

QString FindMailClientProfile(const QString& storeDirectory) {
    if (storeDirectory.isEmpty())
        return {};
    QFileInfo start(storeDirectory);
    QDir dir(start.isDir() ? start.absoluteFilePath() : start.absolutePath());
    for (int level = 0; level <= 3; ++level) {
        if (QFileInfo(dir.filePath(QStringLiteral("prefs.js"))).isFile())
            return dir.absolutePath();
        if (!dir.cdUp())
            break;
    }
    return {};
}

QString RunningMailClientLock(const QString& profile) {
    if (profile.isEmpty())
        return {};
    QString holder = LinkLockHolder(profile);
    if (holder.isEmpty())
        holder = FcntlLockHolder(profile);
    return holder;
}

} // namespace parcelo
