// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FolderReadEnd.h"

#include <QList>
#include <cstring>

namespace parcelo {

namespace {

constexpr QByteArrayView kTag = "read-end/1";

} // namespace

QByteArray FolderReadEnd::encode() const {
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size())).toHex();
    return kTag.toByteArray() + ' ' + QByteArray::number(inode) + ' ' + QByteArray::number(end) +
           ' ' + QByteArray::number(lastStart) + ' ' + QByteArray::number(checkedFrom) + ' ' +
           QByteArray::number(messages) + ' ' + hex;
}

std::optional<FolderReadEnd> FolderReadEnd::decode(QByteArrayView text) {
    const QList<QByteArray> parts = text.toByteArray().split(' ');
    if (parts.size() != 7 || parts[0] != kTag)
        return std::nullopt;
    FolderReadEnd read;
    bool ok[5] = {};
    read.inode = parts[1].toULongLong(&ok[0]);
    read.end = parts[2].toLongLong(&ok[1]);
    read.lastStart = parts[3].toLongLong(&ok[2]);
    read.checkedFrom = parts[4].toLongLong(&ok[3]);
    read.messages = parts[5].toLongLong(&ok[4]);
    const QByteArray digest = QByteArray::fromHex(parts[6]);
    for (const bool each : ok)
        if (!each)
            return std::nullopt;
    if (digest.size() != qsizetype(read.digest.size()) || read.checkedFrom < 0 ||
        read.checkedFrom > read.lastStart || read.lastStart >= read.end || read.messages < 0)
        return std::nullopt;
    std::memcpy(read.digest.data(), digest.constData(), read.digest.size());
    return read;
}

} // namespace parcelo
