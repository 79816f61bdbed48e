// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxContentLength.h"

namespace parcelo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

qint64 ContentLengthValue(QByteArrayView value) {
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && IsBlank(value[begin]))
        ++begin;
    while (end > begin && IsBlank(value[end - 1]))
        --end;
    // More digits than a file can have bytes for are no length either.
    if (begin == end || end - begin > 18)
        return -1;
    qint64 length = 0;
    for (qsizetype i = begin; i < end; ++i) {
        if (value[i] < '0' || value[i] > '9')
            return -1;
        length = length * 10 + (value[i] - '0');
    }
    return length;
}

bool ContentLengthEndsBody(QByteArrayView after, bool atLineStart) {
    if (after.isEmpty())
        return true;
    if (!atLineStart)
        return false;
    qsizetype emptyLine = 0;
    if (after.startsWith("\n"))
        emptyLine = 1;
    else if (after.startsWith("\r\n"))
        emptyLine = 2;
    else
        return false;
    // The window is short only where the file ends.
    const QByteArrayView rest = after.sliced(emptyLine);
    return rest.isEmpty() || rest.startsWith("From ");
}

} // namespace parcelo
