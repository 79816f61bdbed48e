// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

namespace parcelo {

// Opens path for reading only if it is a regular file (links followed): a device, a FIFO or a
// socket planted in a store would otherwise be read without end or block the open itself.
// False with the reason in error otherwise.
bool OpenRegularFile(QFile* file, const QString& path, QString* error = nullptr);

// The same for a first look at a file: reads do not block, for pseudo files such as
// /proc/kmsg, which say they are regular and empty and then wait for data.
bool OpenRegularFileToPeek(QFile* file, const QString& path);

// True for a path on /proc or /sys: nothing there is mail, and some files are consumed by
// reading them (/proc/kmsg).
bool IsOnPseudoFileSystem(const QString& path);
// The same for an open file.
bool IsOnPseudoFileSystem(int fd);

} // namespace parcelo
