// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/MaildirNameList.h"

#include "platform/ReadAt.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <queue>
#include <unistd.h>

namespace parcelo {

namespace {

// A record is the name's length, a byte for new/, then the name.
constexpr qsizetype kHead = 2;
constexpr qsizetype kMaxRecord = kHead + 255;
constexpr qsizetype kWindow = 64 << 10;
constexpr qsizetype kRunBuffer = 16 << 10;

std::string_view NameOf(const char* record) {
    return {record + kHead, size_t(static_cast<unsigned char>(record[0]))};
}

qsizetype RecordSize(const char* record) {
    return kHead + static_cast<unsigned char>(record[0]);
}

// One sorted run while runs are merged: its records from the file, a piece at a time.
struct RunReader {
    qint64 next = 0; // file offset of the bytes after the buffer
    qint64 end = 0;
    QByteArray buffer;
    qsizetype pos = 0;

    bool done() const { return pos >= buffer.size() && next >= end; }
    const char* record() const { return buffer.constData() + pos; }
    // Keeps a whole record readable at pos.
    bool fill(int fd) {
        if (buffer.size() - pos >= kMaxRecord || next >= end)
            return true;
        buffer.remove(0, pos);
        pos = 0;
        const qsizetype kept = buffer.size();
        const qsizetype more = qsizetype(std::min<qint64>(kRunBuffer, end - next));
        buffer.resize(kept + more);
        if (!ReadAt(fd, buffer.data() + kept, more, next))
            return false;
        next += more;
        return true;
    }
};

} // namespace

MaildirNameList::MaildirNameList(qsizetype memoryBytes) : memoryBytes_(memoryBytes) {}
MaildirNameList::~MaildirNameList() = default;

QString MaildirNameList::fileError(const QString& doing) const {
    return QStringLiteral("cannot %1 the temporary list of message files in %2: %3")
        .arg(doing, QDir::tempPath(), SystemErrorText(errno));
}

bool MaildirNameList::add(std::string_view name, bool inNew, QString* error) {
    if (name.size() > 255)
        return true; // longer than any file name the system allows
    chunk_.append(char(name.size())).append(char(inNew ? 1 : 0));
    chunk_.append(name.data(), qsizetype(name.size()));
    ++count_;
    ++chunkCount_;
    return chunk_.size() < memoryBytes_ || spillChunk(error);
}

void MaildirNameList::sortChunk(QByteArray* sorted) {
    std::vector<std::uint32_t> offsets;
    offsets.reserve(chunkCount_);
    for (qsizetype at = 0; at < chunk_.size(); at += RecordSize(chunk_.constData() + at))
        offsets.push_back(std::uint32_t(at));
    const char* records = chunk_.constData();
    std::stable_sort(offsets.begin(), offsets.end(), [records](std::uint32_t a, std::uint32_t b) {
        return NameOf(records + a) < NameOf(records + b);
    });
    sorted->clear();
    sorted->reserve(chunk_.size());
    for (std::uint32_t at : offsets)
        sorted->append(records + at, RecordSize(records + at));
    chunk_.clear();
    chunk_.squeeze();
    chunkCount_ = 0;
}

bool MaildirNameList::write(const QByteArray& bytes, QString* error) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(file_->handle(), bytes.constData() + done,
                                     size_t(bytes.size() - done), fileEnd_);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            if (error)
                *error = fileError(QStringLiteral("write"));
            return false;
        }
        done += put;
        fileEnd_ += put;
    }
    return true;
}

bool MaildirNameList::spillChunk(QString* error) {
    if (!file_) {
        file_ = std::make_unique<QTemporaryFile>();
        if (!file_->open()) {
            if (error)
                *error = QStringLiteral("cannot create a temporary list of message files in "
                                        "%1: %2")
                             .arg(QDir::tempPath(), file_->errorString());
            file_.reset();
            return false;
        }
    }
    QByteArray run;
    sortChunk(&run);
    const qint64 offset = fileEnd_;
    if (!write(run, error))
        return false;
    runs_.push_back({offset, qint64(run.size())});
    return true;
}

bool MaildirNameList::mergeRuns(QString* error) {
    const int fd = file_->handle();
    std::vector<RunReader> readers(runs_.size());
    for (size_t i = 0; i < runs_.size(); ++i) {
        readers[i].next = runs_[i].offset;
        readers[i].end = runs_[i].offset + runs_[i].size;
    }
    // The smallest name first; of equal names, the one of the earlier run.
    const auto later = [&readers](size_t a, size_t b) {
        const std::string_view nameA = NameOf(readers[a].record());
        const std::string_view nameB = NameOf(readers[b].record());
        return nameA != nameB ? nameA > nameB : a > b;
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(later)> heap(later);
    const auto fail = [&] {
        if (error)
            *error = fileError(QStringLiteral("read"));
        return false;
    };
    for (size_t i = 0; i < readers.size(); ++i) {
        if (!readers[i].fill(fd))
            return fail();
        if (!readers[i].done())
            heap.push(i);
    }
    sortedOffset_ = fileEnd_;
    QByteArray out;
    qint64 written = 0;
    size_t index = 0;
    while (!heap.empty()) {
        const size_t i = heap.top();
        heap.pop();
        RunReader& reader = readers[i];
        if (index++ % kStride == 0)
            strideOffsets_.push_back(written + out.size());
        const qsizetype size = RecordSize(reader.record());
        out.append(reader.record(), size);
        reader.pos += size;
        if (!reader.fill(fd))
            return fail();
        if (!reader.done())
            heap.push(i);
        if (out.size() >= kWindow) {
            if (!write(out, error))
                return false;
            written += out.size();
            out.clear();
        }
    }
    if (!write(out, error))
        return false;
    sortedEnd_ = fileEnd_ - sortedOffset_;
    return true;
}

bool MaildirNameList::finish(QString* error) {
    strideOffsets_.clear();
    if (runs_.empty()) {
        sortChunk(&sorted_);
        qsizetype at = 0;
        for (size_t index = 0; index < count_; ++index) {
            if (index % kStride == 0)
                strideOffsets_.push_back(at);
            at += RecordSize(sorted_.constData() + at);
        }
        sortedEnd_ = sorted_.size();
    } else if ((chunkCount_ > 0 && !spillChunk(error)) || !mergeRuns(error)) {
        return false;
    }
    cursorIndex_ = 0;
    cursorOffset_ = 0;
    return true;
}

bool MaildirNameList::load(qint64 offset, QString* error) {
    const qint64 want = std::min<qint64>(kMaxRecord, sortedEnd_ - offset);
    if (windowOffset_ >= 0 && offset >= windowOffset_ &&
        offset + want <= windowOffset_ + window_.size())
        return true;
    const qsizetype size = qsizetype(std::min<qint64>(kWindow, sortedEnd_ - offset));
    window_.resize(size);
    if (!ReadAt(file_->handle(), window_.data(), size, sortedOffset_ + offset)) {
        windowOffset_ = -1;
        if (error)
            *error = fileError(QStringLiteral("read"));
        return false;
    }
    windowOffset_ = offset;
    return true;
}

bool MaildirNameList::at(size_t index, QByteArray* name, bool* inNew, QString* error) {
    if (const auto found = renamed_.find(index); found != renamed_.end()) {
        *name = found->second.first;
        *inNew = found->second.second;
        return true;
    }
    // From the name read last when it is at most kStride before this one, else from the
    // nearest noted place.
    size_t from = cursorIndex_;
    qint64 offset = cursorOffset_;
    if (index < from || index - from >= kStride) {
        from = index - index % kStride;
        offset = strideOffsets_[index / kStride];
    }
    const bool inMemory = runs_.empty();
    const char* record = nullptr;
    for (;;) {
        if (inMemory) {
            record = sorted_.constData() + offset;
        } else {
            if (!load(offset, error))
                return false;
            record = window_.constData() + (offset - windowOffset_);
        }
        if (from == index)
            break;
        offset += RecordSize(record);
        ++from;
    }
    const std::string_view found = NameOf(record);
    *name = QByteArray(found.data(), qsizetype(found.size()));
    *inNew = record[1] != 0;
    cursorIndex_ = index;
    cursorOffset_ = offset;
    return true;
}

void MaildirNameList::replace(size_t index, const QByteArray& name, bool inNew) {
    renamed_[index] = {name, inNew};
}

} // namespace parcelo
