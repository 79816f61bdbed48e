// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstddef>
#include <memory>
#include <vector>

namespace parcelo {

// Where each message of an mbox starts, by message id. A few blocks of entries stay in memory;
// the others go to an unnamed temporary file, so that a folder of millions of messages takes no
// more memory than one of thousands. Should no temporary file be had, they stay in memory.
class MessageStarts {
public:
    // An entry that could not be read back from the temporary file reads as this, as a message
    // that is gone would: nothing is then done to it.
    static constexpr qint64 kUnreadable = -1;

    MessageStarts() = default;
    ~MessageStarts();
    MessageStarts(const MessageStarts&) = delete;
    MessageStarts& operator=(const MessageStarts&) = delete;

    size_t size() const { return size_; }
    qint64 at(size_t id) const;
    void set(size_t id, qint64 start);
    void push_back(qint64 start);
    // Every entry becomes start.
    void fill(qint64 start);
    void clear();

    static constexpr size_t kBlockEntries = 4096;
    static constexpr size_t kResidentBlocks = 8;
    // The memory the entries take now, to check that it stays bounded.
    size_t residentBytes() const;

private:
    struct Block {
        std::unique_ptr<qint64[]> entries; // null while the block is only in the file
        bool dirty = false;                // changed since it was last written to the file
        quint64 used = 0;                  // when it was last used, to choose one to let go
    };

    // The block's entries in memory, read back from the file if need be; null when that fails.
    qint64* load(size_t block) const;
    // Makes room for one more block in memory, by writing one out where possible.
    void makeRoom(size_t keep) const;
    bool writeOut(size_t block) const;
    bool openFile() const;

    size_t size_ = 0;
    mutable std::vector<Block> blocks_;
    mutable size_t resident_ = 0;
    mutable quint64 clock_ = 0;
    mutable int fd_ = -1;
    mutable bool noFile_ = false; // none could be made or written: all stays in memory
};

} // namespace parcelo
