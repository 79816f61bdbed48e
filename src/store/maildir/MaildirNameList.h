// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace parcelo {

// The names of a Maildir folder's message files in byte order (equal names in the order they
// were added), each with the sub-directory it lies in. Memory stays bounded however big the
// folder: beyond kMemoryBytes of names, sorted runs go to a temporary file and are merged there,
// and memory keeps the place of every kStride-th name.
class MaildirNameList {
public:
    static constexpr qsizetype kMemoryBytes = 1 << 20;
    static constexpr size_t kStride = 256;

    explicit MaildirNameList(qsizetype memoryBytes = kMemoryBytes);
    ~MaildirNameList();
    MaildirNameList(const MaildirNameList&) = delete;
    MaildirNameList& operator=(const MaildirNameList&) = delete;

    // While listing; false, with the reason, when the temporary file fails.
    bool add(std::string_view name, bool inNew, QString* error);
    // Puts what was added in order; false, with the reason, when the temporary file fails.
    bool finish(QString* error);

    size_t size() const { return count_; }
    // The name at index (below size()) and whether it lies in new/; false, with the reason,
    // when the temporary file cannot be read. Reading in order costs no search.
    bool at(size_t index, QByteArray* name, bool* inNew, QString* error);
    // The file at index was renamed.
    void replace(size_t index, const QByteArray& name, bool inNew);

private:
    struct Run {
        qint64 offset = 0;
        qint64 size = 0;
    };
    void sortChunk(QByteArray* sorted);
    bool spillChunk(QString* error);
    bool mergeRuns(QString* error);
    bool write(const QByteArray& bytes, QString* error);
    // Makes the bytes from offset (of the sorted records) readable at window_; false on failure.
    bool load(qint64 offset, QString* error);
    QString fileError(const QString& doing) const;

    qsizetype memoryBytes_;
    QByteArray chunk_;  // records as added, not yet sorted
    QByteArray sorted_; // every record in order, when they fit in memory
    std::unique_ptr<QTemporaryFile> file_;
    qint64 fileEnd_ = 0;
    std::vector<Run> runs_;
    qint64 sortedOffset_ = 0; // where the merged records begin in the file
    qint64 sortedEnd_ = 0;
    std::vector<qint64> strideOffsets_; // of records 0, kStride, 2 kStride, ... from sortedOffset_
    size_t count_ = 0;
    size_t chunkCount_ = 0;
    // The name read last, at offset of the sorted records, and a window of the file there.
    size_t cursorIndex_ = 0;
    qint64 cursorOffset_ = 0;
    QByteArray window_;
    qint64 windowOffset_ = -1;
    std::map<size_t, std::pair<QByteArray, bool>> renamed_;
};

} // namespace parcelo
