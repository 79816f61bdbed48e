// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemErrorText.h"

#include <cstring>

namespace parcelo {

QString SystemErrorText(int error) {
    // Message files are written on a thread of their own: the reentrant form, with a buffer
    // of the caller's, is safe on any thread.
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

} // namespace parcelo
