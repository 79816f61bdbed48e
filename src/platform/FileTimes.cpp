// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileTimes.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>

namespace parcelo {

bool SetFileTimes(const QString& path, const QDateTime& instant) {
    if (!instant.isValid() || path.isEmpty())
        return false;
    const qint64 msecs = instant.toMSecsSinceEpoch();
    timespec when{};
    when.tv_sec = static_cast<time_t>(msecs / 1000);
    when.tv_nsec = static_cast<long>((msecs % 1000) * 1000000);
    if (when.tv_nsec < 0) {
        when.tv_sec -= 1;
        when.tv_nsec += 1000000000L;
    }
    const timespec times[2] = {when, when};
    // A link put in the file's place is never followed: its target is not ours to change.
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) ==
           0;
}

} // namespace parcelo
