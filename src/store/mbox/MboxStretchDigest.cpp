// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxStretchDigest.h"

#include "store/StoreStateField.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace parcelo {

namespace {

constexpr qsizetype kChunk = 64 * 1024;
// A line is told by its first bytes, wherever the reads split it.
constexpr qsizetype kLineHead = 1024;

} // namespace

bool DigestMboxStretch(int fd, qint64 from, qint64 end, Sha256Digest* digest) {
    std::vector<char> buffer(size_t(kChunk + kLineHead));
    Sha256 hash;
    qint64 offset = from; // of buffer[0]
    qsizetype length = 0;
    bool lineStart = true;
    bool previousEmpty = true;
    bool inHeader = false;
    bool dropping = false; // a state field's lines, its continuation lines too
    bool dropLine = false;
    for (;;) {
        const qint64 wanted =
            std::min<qint64>(qint64(buffer.size()) - length, end - offset - length);
        if (wanted > 0) {
            ssize_t got;
            do {
                got = ::pread(fd, buffer.data() + length, size_t(wanted), offset + length);
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return false;
            length += got;
        }
        const bool last = offset + length == end;
        qsizetype pos = 0;
        while (pos < length) {
            const char* p = buffer.data() + pos;
            const auto* newline =
                static_cast<const char*>(std::memchr(p, '\n', size_t(length - pos)));
            const qsizetype size = newline ? newline - p + 1 : length - pos;
            if (lineStart) {
                if (!newline && !last && size < kLineHead)
                    break; // its head is read first
                const std::string_view head(p, size_t(std::min(size, kLineHead)));
                const bool empty = head == "\n" || head == "\r\n";
                if (previousEmpty && head.starts_with("From ")) {
                    inHeader = true;
                    dropping = false;
                } else if (inHeader && empty) {
                    inHeader = false;
                    dropping = false;
                } else if (inHeader && head[0] != ' ' && head[0] != '\t') {
                    dropping = IsStoreStateField(HeaderFieldName(head));
                }
                dropLine = inHeader && dropping;
                previousEmpty = empty;
            }
            if (!dropLine)
                hash.add(std::string_view(p, size_t(size)));
            lineStart = newline != nullptr;
            pos += size;
        }
        std::memmove(buffer.data(), buffer.data() + pos, size_t(length - pos));
        offset += pos;
        length -= pos;
        if (last && length == 0)
            break;
    }
    *digest = hash.finish();
    return true;
}

} // namespace parcelo
