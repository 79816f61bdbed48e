// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/AntiDateFile.h"

#include "platform/FileTimes.h"

namespace parcelo {

bool AntiDateFile(const QString& path, const QDateTime& sent) {
    if (!sent.isValid())
        return false;
    return SetFileTimes(path, sent);
}

} // namespace parcelo
