// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// What a problem report tells about the machine. Texts are empty where the system does not say.
struct SystemInformation {
    int memoryLoadPercent = 0;
    double totalPhysical = 0;     // bytes
    double availablePhysical = 0; // bytes
    double totalVirtual = 0;      // the process's address space, bytes
    QString platformName;         // PRETTY_NAME of os-release
    QString build;                // kernel release
    QString servicePack;
    QString cpuMhz;
    QString cpuVendor;
    QString processorType;
    int processorCount = 0;
    QString architecture;
    QString processorLevel;
    int pageSize = 0;
};

// Reads /proc/meminfo, /proc/cpuinfo, uname, os-release and the process limits.
SystemInformation CollectSystemInformation();

// The parts of it that come from text, for any machine's files.
QString PlatformNameFromOsRelease(const QString& osRelease);
void ReadMemInfo(const QString& meminfo, SystemInformation& info);
void ReadCpuInfo(const QString& cpuinfo, const QString& machine, SystemInformation& info);

} // namespace parcelo
