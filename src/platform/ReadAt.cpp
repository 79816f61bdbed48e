// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ReadAt.h"

#include <cerrno>
#include <unistd.h>

namespace parcelo {

bool ReadAt(int fd, void* data, std::size_t size, qint64 offset) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

} // namespace parcelo
