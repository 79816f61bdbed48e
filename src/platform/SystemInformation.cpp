// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemInformation.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace parcelo {

namespace {

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// "key : value" lines; the first line of a key wins.
QString valueOf(const QString& text, const QString& key) {
    const QRegularExpression line(
        QStringLiteral("^%1\\s*:\\s*(.*)$").arg(QRegularExpression::escape(key)),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(text);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

double kilobytes(const QString& meminfo, const QString& key) {
    return valueOf(meminfo, key).section(QLatin1Char(' '), 0, 0).toDouble() * 1024;
}

// The processor type and architecture codes of a machine name, as the names below know them.
int processorTypeOf(const QString& machine) {
    if (machine == QLatin1String("i386"))
        return 386;
    if (machine == QLatin1String("i486"))
        return 486;
    if (machine == QLatin1String("i586") || machine == QLatin1String("i686") ||
        machine == QLatin1String("x86_64"))
        return 586;
    if (machine.startsWith(QLatin1String("mips")))
        return 4000;
    if (machine.startsWith(QLatin1String("alpha")))
        return 21064;
    return 0;
}

int architectureOf(const QString& machine) {
    if (machine == QLatin1String("x86_64"))
        return 9;
    if (QRegularExpression(QStringLiteral("^i[3-6]86$")).match(machine).hasMatch())
        return 0;
    if (machine.startsWith(QLatin1String("mips")))
        return 1;
    if (machine.startsWith(QLatin1String("alpha")))
        return 2;
    if (machine.startsWith(QLatin1String("ppc")))
        return 3;
    if (machine == QLatin1String("ia64"))
        return 6;
    return 0xFFFF;
}

QString processorTypeName(int type) {
    switch (type) {
    case 386:
        return QStringLiteral("Intel 386");
    case 486:
        return QStringLiteral("Intel 486");
    case 586:
        return QStringLiteral("Intel Pentium");
    case 4000:
        return QStringLiteral("MIPS");
    case 21064:
        return QStringLiteral("Alpha");
    default:
        return QStringLiteral("Unknown");
    }
}

QString architectureName(int architecture) {
    switch (architecture) {
    case 0:
        return QStringLiteral("Pentium");
    case 1:
        return QStringLiteral("MIPS");
    case 3:
        return QStringLiteral("PPC");
    case 6:
        return QStringLiteral("Native 64-bit process on IA64");
    case 9:
        return QStringLiteral("Native 64-bit process on AMD64");
    case 0xFFFF:
        return QStringLiteral("Unknown");
    default:
        return {};
    }
}

QString levelName(int architecture, int level, bool mmx) {
    switch (architecture) {
    case 0:
        switch (level) {
        case 3:
            return QStringLiteral("Intel 80386");
        case 4:
            return QStringLiteral("Intel 80486");
        case 5:
            return mmx ? QStringLiteral("Pentium MMX") : QStringLiteral("Pentium");
        case 6:
            return QStringLiteral("Pentium (II/Pro)");
        default:
            return {};
        }
    case 1:
        return level == 4 ? QStringLiteral("MIPS R4000") : QStringLiteral("Unknown");
    case 2:
        return QStringLiteral("Alpha%1").arg(level);
    case 3:
        switch (level) {
        case 1:
            return QStringLiteral("PPC 601");
        case 3:
            return QStringLiteral("PPC 603");
        case 4:
            return QStringLiteral("PPC 604");
        case 6:
            return QStringLiteral("PPC 603+");
        case 9:
            return QStringLiteral("PPC 604+");
        case 20:
            return QStringLiteral("PPC 620");
        default:
            return {};
        }
    default:
        return {};
    }
}

} // namespace

QString PlatformNameFromOsRelease(const QString& osRelease) {
    const QString key = QStringLiteral("PRETTY_NAME=");
    for (const QString& line : osRelease.split(QLatin1Char('\n'))) {
        if (!line.startsWith(key))
            continue;
        QString name = line.mid(key.size()).trimmed();
        if (name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'') &&
            name.back() == name.front())
            name = name.mid(1, name.size() - 2);
        return name.replace(QLatin1String("\\\""), QLatin1String("\""));
    }
    return {};
}

void ReadMemInfo(const QString& meminfo, SystemInformation& info) {
    info.totalPhysical = kilobytes(meminfo, QStringLiteral("MemTotal"));
    info.availablePhysical = kilobytes(meminfo, QStringLiteral("MemAvailable"));
    if (info.availablePhysical == 0)
        info.availablePhysical = kilobytes(meminfo, QStringLiteral("MemFree"));
    info.memoryLoadPercent = info.totalPhysical > 0
                                 ? static_cast<int>((info.totalPhysical - info.availablePhysical) *
                                                    100 / info.totalPhysical)
                                 : 0;
}

void ReadCpuInfo(const QString& cpuinfo, const QString& machine, SystemInformation& info) {
    const QString mhz = valueOf(cpuinfo, QStringLiteral("cpu MHz"));
    info.cpuMhz = mhz.isEmpty() ? QString() : QString::number(static_cast<int>(mhz.toDouble()));
    info.cpuVendor = valueOf(cpuinfo, QStringLiteral("vendor_id"));
    info.processorCount = static_cast<int>(cpuinfo.count(QRegularExpression(
        QStringLiteral("^processor\\s*:"), QRegularExpression::MultilineOption)));
    const int architecture = architectureOf(machine);
    const bool mmx = valueOf(cpuinfo, QStringLiteral("flags"))
                         .split(QLatin1Char(' '))
                         .contains(QStringLiteral("mmx"));
    // The system's own name of the processor; the type codes only know processors of old.
    info.processorType = valueOf(cpuinfo, QStringLiteral("model name"));
    if (info.processorType.isEmpty())
        info.processorType = processorTypeName(processorTypeOf(machine));
    info.architecture = architectureName(architecture);
    info.processorLevel =
        levelName(architecture, valueOf(cpuinfo, QStringLiteral("cpu family")).toInt(), mmx);
}

SystemInformation CollectSystemInformation() {
    SystemInformation info;
    ReadMemInfo(readText(QStringLiteral("/proc/meminfo")), info);
    QString osRelease = readText(QStringLiteral("/etc/os-release"));
    if (osRelease.isEmpty())
        osRelease = readText(QStringLiteral("/usr/lib/os-release"));
    info.platformName = PlatformNameFromOsRelease(osRelease);

    struct utsname names {};
    QString machine;
    if (uname(&names) == 0) {
        info.build = QString::fromLocal8Bit(names.release);
        machine = QString::fromLocal8Bit(names.machine);
    }
    ReadCpuInfo(readText(QStringLiteral("/proc/cpuinfo")), machine, info);
    if (info.processorCount == 0)
        info.processorCount = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));

    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        info.totalVirtual = static_cast<double>(limit.rlim_cur);
    else // the user half of the address space: 47 bits on 64-bit machines, 3 GB on 32-bit ones
        info.totalVirtual = sizeof(void*) == 8 ? 140737488355328.0 : 3221225472.0;
    info.pageSize = static_cast<int>(sysconf(_SC_PAGESIZE));
    return info;
}

} // namespace parcelo
