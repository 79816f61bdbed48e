// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MessageStarts.h"

#include "platform/ReadAt.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace parcelo {

namespace {

constexpr size_t kBlockBytes = MessageStarts::kBlockEntries * sizeof(qint64);

} // namespace

MessageStarts::~MessageStarts() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool MessageStarts::openFile() const {
    if (fd_ >= 0)
        return true;
    if (noFile_)
        return false;
    const QByteArray dir = QFile::encodeName(QDir::tempPath());
    fd_ = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // A file system without unnamed files: a named one, unlinked at once.
        QByteArray pattern = dir + "/.parcelo-starts-XXXXXX";
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(pattern.constData());
    }
    noFile_ = fd_ < 0;
    return !noFile_;
}

bool MessageStarts::writeOut(size_t block) const {
    Block& b = blocks_[block];
    if (b.dirty) {
        if (!openFile())
            return false;
        const char* bytes = reinterpret_cast<const char*>(b.entries.get());
        const off_t at = off_t(block * kBlockBytes);
        size_t done = 0;
        while (done < kBlockBytes) {
            const ssize_t n = ::pwrite(fd_, bytes + done, kBlockBytes - done, at + off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                noFile_ = true; // the disk is full or failing: keep the rest in memory
                return false;
            }
            done += size_t(n);
        }
        b.dirty = false;
    }
    b.entries.reset();
    --resident_;
    return true;
}

void MessageStarts::makeRoom(size_t keep) const {
    if (resident_ < kResidentBlocks || noFile_)
        return;
    // The block used longest ago goes, never the last one, which grows, nor the one wanted.
    size_t oldest = blocks_.size();
    for (size_t i = 0; i + 1 < blocks_.size(); ++i) {
        if (i == keep || !blocks_[i].entries)
            continue;
        if (oldest == blocks_.size() || blocks_[i].used < blocks_[oldest].used)
            oldest = i;
    }
    if (oldest < blocks_.size())
        writeOut(oldest);
}

qint64* MessageStarts::load(size_t block) const {
    Block& b = blocks_[block];
    b.used = ++clock_;
    if (b.entries)
        return b.entries.get();
    makeRoom(block);
    auto entries = std::make_unique<qint64[]>(kBlockEntries);
    if (!ReadAt(fd_, entries.get(), kBlockBytes, qint64(block * kBlockBytes)))
        return nullptr;
    b.entries = std::move(entries);
    ++resident_;
    return b.entries.get();
}

qint64 MessageStarts::at(size_t id) const {
    Q_ASSERT(id < size_);
    const qint64* entries = load(id / kBlockEntries);
    return entries ? entries[id % kBlockEntries] : kUnreadable;
}

void MessageStarts::set(size_t id, qint64 start) {
    Q_ASSERT(id < size_);
    Block& b = blocks_[id / kBlockEntries];
    if (qint64* entries = load(id / kBlockEntries)) {
        entries[id % kBlockEntries] = start;
        b.dirty = true;
    }
}

void MessageStarts::push_back(qint64 start) {
    if (size_ % kBlockEntries == 0) {
        makeRoom(blocks_.size());
        blocks_.push_back(Block{std::make_unique<qint64[]>(kBlockEntries), true, ++clock_});
        ++resident_;
    }
    blocks_.back().entries[size_ % kBlockEntries] = start;
    ++size_;
}

void MessageStarts::fill(qint64 start) {
    for (size_t id = 0; id < size_; ++id)
        set(id, start);
}

void MessageStarts::clear() {
    blocks_.clear();
    size_ = 0;
    resident_ = 0;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    noFile_ = false;
}

size_t MessageStarts::residentBytes() const {
    return resident_ * kBlockBytes + blocks_.capacity() * sizeof(Block);
}

} // namespace parcelo
