// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/ManifestRecord.h"

#include <cstring>

namespace parcelo {

namespace {

void putInt(QByteArray* out, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

quint64 getInt(const char* data, int bytes) {
    quint64 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    return value;
}

// The check of a record: the first bytes of the SHA-256 of what follows it.
void check(QByteArrayView body, char* out) {
    const Sha256Digest digest =
        Sha256::of(std::string_view(body.data(), static_cast<size_t>(body.size())));
    std::memcpy(out, digest.data(), 8);
}

} // namespace

QByteArray ManifestRecord::encode() const {
    const QByteArray id = messageId.left(kMaxMessageIdSize);
    QByteArray out;
    out.reserve(kFixedSize + path.size() + id.size());
    putInt(&out, static_cast<quint64>(kFixedSize + path.size() + id.size()), 4);
    out.append(8, '\0');
    out.append(static_cast<char>(kind));
    out.append(reinterpret_cast<const char*>(fingerprint.data()),
               static_cast<qsizetype>(fingerprint.size()));
    putInt(&out, static_cast<quint64>(exportedAt), 8);
    putInt(&out, static_cast<quint64>(size), 8);
    putInt(&out, static_cast<quint64>(identity.device), 8);
    putInt(&out, static_cast<quint64>(identity.inode), 8);
    putInt(&out, 0, 8); // room for what a later format may add
    putInt(&out, static_cast<quint64>(path.size()), 2);
    putInt(&out, static_cast<quint64>(id.size()), 2);
    out.append(path);
    out.append(id);
    check(QByteArrayView(out).sliced(kPrefixSize), out.data() + 4);
    return out;
}

qsizetype ManifestRecord::sizeOf(QByteArrayView prefix) {
    if (prefix.size() < 4)
        return 0;
    const auto size = static_cast<qsizetype>(getInt(prefix.data(), 4));
    return size >= kFixedSize && size <= kMaxSize ? size : 0;
}

ManifestRecord::Decoded ManifestRecord::decode(QByteArrayView bytes, ManifestRecord* record,
                                               qsizetype* length) {
    if (bytes.size() < 4)
        return Decoded::Partial;
    const qsizetype size = sizeOf(bytes);
    if (size == 0)
        return Decoded::Damaged;
    if (bytes.size() < size)
        return Decoded::Partial;
    const char* data = bytes.data();
    char expected[8];
    check(bytes.sliced(kPrefixSize, size - kPrefixSize), expected);
    if (std::memcmp(expected, data + 4, 8) != 0)
        return Decoded::Damaged;
    const char* p = data + kPrefixSize;
    const auto kind = static_cast<unsigned char>(*p++);
    if (kind < 1 || kind > 5)
        return Decoded::Damaged;
    ManifestRecord r;
    r.kind = static_cast<Kind>(kind);
    std::memcpy(r.fingerprint.data(), p, r.fingerprint.size());
    p += r.fingerprint.size();
    r.exportedAt = static_cast<qint64>(getInt(p, 8));
    r.size = static_cast<qint64>(getInt(p + 8, 8));
    r.identity.device = static_cast<dev_t>(getInt(p + 16, 8));
    r.identity.inode = static_cast<ino_t>(getInt(p + 24, 8));
    p += 40;
    const auto pathSize = static_cast<qsizetype>(getInt(p, 2));
    const auto idSize = static_cast<qsizetype>(getInt(p + 2, 2));
    if (kFixedSize + pathSize + idSize != size)
        return Decoded::Damaged;
    p += 4;
    r.path = QByteArray(p, pathSize);
    r.messageId = QByteArray(p + pathSize, idSize);
    *record = std::move(r);
    *length = size;
    return Decoded::Whole;
}

} // namespace parcelo
