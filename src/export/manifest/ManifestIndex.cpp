// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/ManifestIndex.h"

#include "platform/ReadAt.h"
#include "platform/SystemErrorText.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace parcelo {

namespace {

constexpr char kMagic[16] = "PARCELO-INDEX\0\0";
constexpr quint32 kVersion = 1;

void putInt(unsigned char* out, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

quint64 getInt(const unsigned char* data, int bytes) {
    quint64 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | data[i];
    return value;
}

bool fail(QString* error, const QString& what) {
    if (error)
        *error = what + QStringLiteral(": ") + SystemErrorText(errno);
    return false;
}

bool pwriteAll(int fd, const void* data, size_t size, qint64 offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, bytes, size, offset);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        size -= static_cast<size_t>(put);
        offset += put;
    }
    return true;
}

bool isPowerOfTwo(qint64 n) {
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace

ManifestIndex::~ManifestIndex() {
    close();
}

quint64 ManifestIndex::keyOf(const unsigned char* fingerprint) {
    const quint64 key = getInt(fingerprint, 8);
    return key == 0 ? 1 : key;
}

void ManifestIndex::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    slots_ = entries_ = 0;
}

bool ManifestIndex::openClean(const QByteArray& path, qint64 logSize) {
    close();
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    unsigned char header[kHeaderSize];
    struct stat st {};
    bool whole = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                 ReadAt(fd, header, sizeof header, 0) &&
                 std::memcmp(header, kMagic, sizeof kMagic) == 0;
    const qint64 slots = whole ? static_cast<qint64>(getInt(header + 24, 8)) : 0;
    const qint64 entries = whole ? static_cast<qint64>(getInt(header + 32, 8)) : 0;
    whole = whole && getInt(header + 16, 4) == kVersion && getInt(header + 20, 4) == 1 &&
            isPowerOfTwo(slots) && entries >= 0 && entries < slots &&
            static_cast<qint64>(getInt(header + 40, 8)) == logSize &&
            st.st_size == kHeaderSize + slots * kSlotSize;
    if (!whole) {
        ::close(fd);
        return false;
    }
    path_ = path;
    fd_ = fd;
    slots_ = slots;
    entries_ = entries;
    return true;
}

bool ManifestIndex::create(const QByteArray& path, qint64 expected, QString* error) {
    close();
    qint64 slots = 4096;
    while (slots < expected * 2)
        slots *= 2;
    const int fd =
        ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return fail(error, QFile::decodeName(path));
    // The slots start empty as the holes of a sparse file.
    if (::ftruncate(fd, kHeaderSize + slots * kSlotSize) != 0) {
        fail(error, QFile::decodeName(path));
        ::close(fd);
        return false;
    }
    path_ = path;
    fd_ = fd;
    slots_ = slots;
    entries_ = 0;
    return writeHeader(false, 0, error);
}

bool ManifestIndex::writeHeader(bool clean, qint64 logSize, QString* error) {
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    putInt(header + 16, kVersion, 4);
    putInt(header + 20, clean ? 1 : 0, 4);
    putInt(header + 24, static_cast<quint64>(slots_), 8);
    putInt(header + 32, static_cast<quint64>(entries_), 8);
    putInt(header + 40, static_cast<quint64>(logSize), 8);
    return pwriteAll(fd_, header, sizeof header, 0) || fail(error, QFile::decodeName(path_));
}

bool ManifestIndex::markDirty(QString* error) {
    return writeHeader(false, 0, error);
}

bool ManifestIndex::markClean(qint64 logSize, QString* error) {
    // The slots reach the disk before the header that vouches for them.
    if (::fdatasync(fd_) != 0)
        return fail(error, QFile::decodeName(path_));
    return writeHeader(true, logSize, error) &&
           (::fdatasync(fd_) == 0 || fail(error, QFile::decodeName(path_)));
}

bool ManifestIndex::readSlots(qint64 first, Slot* slots, int count, QString* error) const {
    unsigned char bytes[kBlockSlots * kSlotSize];
    if (!ReadAt(fd_, bytes, static_cast<size_t>(count * kSlotSize),
                kHeaderSize + first * kSlotSize))
        return fail(error, QFile::decodeName(path_));
    for (int i = 0; i < count; ++i)
        slots[i] = {getInt(bytes + i * kSlotSize, 8), getInt(bytes + i * kSlotSize + 8, 8)};
    return true;
}

bool ManifestIndex::writeSlot(qint64 index, const Slot& slot, QString* error) {
    unsigned char bytes[kSlotSize];
    putInt(bytes, slot.key, 8);
    putInt(bytes + 8, slot.offset, 8);
    return pwriteAll(fd_, bytes, sizeof bytes, kHeaderSize + index * kSlotSize) ||
           fail(error, QFile::decodeName(path_));
}

bool ManifestIndex::find(quint64 key, const Matches& matches, qint64* offset, QString* error) {
    *offset = -1;
    Slot block[kBlockSlots];
    qint64 index = static_cast<qint64>(key & static_cast<quint64>(slots_ - 1));
    // The table is never full: an empty slot ends every probe.
    for (qint64 probed = 0; probed < slots_;) {
        const int count = static_cast<int>(std::min<qint64>(kBlockSlots, slots_ - index));
        if (!readSlots(index, block, count, error))
            return false;
        for (int i = 0; i < count; ++i, ++probed) {
            if (block[i].key == 0)
                return true;
            if (block[i].key == key && matches(static_cast<qint64>(block[i].offset - 1))) {
                *offset = static_cast<qint64>(block[i].offset - 1);
                return true;
            }
        }
        index = (index + count) & (slots_ - 1);
    }
    return true;
}

bool ManifestIndex::set(quint64 key, qint64 offset, const Matches& matches, QString* error) {
    if ((entries_ + 1) * 2 > slots_) {
        qint64 slots = slots_ * 2;
        while (slots < (entries_ + expected_) * 2)
            slots *= 2;
        expected_ = 0;
        if (!grow(slots, error))
            return false;
    }
    Slot block[kBlockSlots];
    qint64 index = static_cast<qint64>(key & static_cast<quint64>(slots_ - 1));
    for (;;) {
        const int count = static_cast<int>(std::min<qint64>(kBlockSlots, slots_ - index));
        if (!readSlots(index, block, count, error))
            return false;
        for (int i = 0; i < count; ++i) {
            const bool empty = block[i].key == 0;
            if (empty ||
                (block[i].key == key && matches(static_cast<qint64>(block[i].offset - 1)))) {
                if (!writeSlot(index + i, {key, static_cast<quint64>(offset + 1)}, error))
                    return false;
                if (empty)
                    ++entries_;
                return true;
            }
        }
        index = (index + count) & (slots_ - 1);
    }
}

bool ManifestIndex::insertNew(int fd, qint64 slots, const Slot& slot, QString* error) const {
    unsigned char bytes[kBlockSlots * kSlotSize];
    qint64 index = static_cast<qint64>(slot.key & static_cast<quint64>(slots - 1));
    for (;;) {
        const int count = static_cast<int>(std::min<qint64>(kBlockSlots, slots - index));
        if (!ReadAt(fd, bytes, static_cast<size_t>(count * kSlotSize),
                    kHeaderSize + index * kSlotSize))
            return fail(error, QFile::decodeName(path_));
        for (int i = 0; i < count; ++i) {
            if (getInt(bytes + i * kSlotSize, 8) != 0)
                continue;
            unsigned char put[kSlotSize];
            putInt(put, slot.key, 8);
            putInt(put + 8, slot.offset, 8);
            return pwriteAll(fd, put, sizeof put, kHeaderSize + (index + i) * kSlotSize) ||
                   fail(error, QFile::decodeName(path_));
        }
        index = (index + count) & (slots - 1);
    }
}

bool ManifestIndex::grow(qint64 slots, QString* error) {
    // A bigger table is filled beside this one and then takes its name; a run that ends
    // meanwhile leaves this one, not marked clean, to be made again.
    const QByteArray grownPath = path_ + ".grow";
    const int fd =
        ::open(grownPath.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return fail(error, QFile::decodeName(grownPath));
    const auto abandon = [&] {
        fail(error, QFile::decodeName(grownPath));
        ::close(fd);
        ::unlink(grownPath.constData());
        return false;
    };
    if (::ftruncate(fd, kHeaderSize + slots * kSlotSize) != 0)
        return abandon();
    constexpr int kChunk = 4096;
    std::vector<unsigned char> chunk(kChunk * kSlotSize);
    for (qint64 first = 0; first < slots_; first += kChunk) {
        const qint64 count = std::min<qint64>(kChunk, slots_ - first);
        if (!ReadAt(fd_, chunk.data(), static_cast<size_t>(count * kSlotSize),
                    kHeaderSize + first * kSlotSize))
            return abandon();
        for (qint64 i = 0; i < count; ++i) {
            const Slot slot{getInt(chunk.data() + i * kSlotSize, 8),
                            getInt(chunk.data() + i * kSlotSize + 8, 8)};
            if (slot.key != 0 && !insertNew(fd, slots, slot, error)) {
                ::close(fd);
                ::unlink(grownPath.constData());
                return false;
            }
        }
    }
    if (::rename(grownPath.constData(), path_.constData()) != 0)
        return abandon();
    ::close(fd_);
    fd_ = fd;
    slots_ = slots;
    return writeHeader(false, 0, error);
}

} // namespace parcelo
