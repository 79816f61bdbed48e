// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/BackgroundFileWriter.h"

#include <algorithm>
#include <chrono>

namespace parcelo {

namespace {

// Each side looks for the other's hand-over a little while before it sleeps: waking a
// sleeping thread costs a system call on both sides.
bool SpinUntilAtLeast(const std::atomic<size_t>& count, size_t wanted) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    for (int i = 0;; ++i) {
        if (count.load(std::memory_order_acquire) >= wanted)
            return true;
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until)
            return false;
    }
}

} // namespace

BackgroundFileWriter::BackgroundFileWriter(MessageFileOutput& output, IndexPageWriter& index,
                                           IndexCsvWriter* csv, ExportManifest* manifest)
    : output_(output), index_(index), csv_(csv), manifest_(manifest), thread_([this] { run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundFileWriter::start(Job job) {
    ++started_;
    bytes_.fetch_add(job.bytes.size(), std::memory_order_relaxed);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        jobCount_.store(jobs_.size(), std::memory_order_release);
        wake = writerSleeping_;
    }
    // Woken after the lock is let go, the writer need not wait for it once more.
    if (wake)
        changed_.notify_all();
}

void BackgroundFileWriter::waitForResults(size_t count) {
    count = std::min(count, started_);
    if (count == 0 || SpinUntilAtLeast(resultCount_, count))
        return;
    std::unique_lock lock(mutex_);
    callerWants_ = count;
    changed_.wait(lock, [this, count] { return results_.size() >= count; });
    callerWants_ = 0;
}

BackgroundFileWriter::Outcome BackgroundFileWriter::result() {
    waitForResults(1);
    std::unique_lock lock(mutex_);
    Outcome result = std::move(results_.front());
    results_.pop_front();
    resultCount_.store(results_.size(), std::memory_order_release);
    --started_;
    return result;
}

void BackgroundFileWriter::run() {
    for (;;) {
        SpinUntilAtLeast(jobCount_, 1);
        std::unique_lock lock(mutex_);
        if (jobs_.empty() && !stopping_) {
            writerSleeping_ = true;
            changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            writerSleeping_ = false;
        }
        if (jobs_.empty())
            return; // stopping, with nothing left to write
        Outcome outcome;
        outcome.job = std::move(jobs_.front());
        jobs_.pop_front();
        jobCount_.store(jobs_.size(), std::memory_order_release);
        lock.unlock();
        Job& job = outcome.job;
        const QByteArray bytes =
            QByteArray::fromRawData(job.bytes.data(), static_cast<qsizetype>(job.bytes.size()));
        MessageFileOutput::PlacingNote note;
        if (manifest_ && job.manifestNote) {
            note = [&](const QString& path, const FileIdentity& file, qint64 size, QString* error) {
                qint64 offset = 0;
                if (!manifest_->notePlacing(job.manifestNote->fingerprint, path, size, file,
                                            job.manifestNote->messageId, &offset, error))
                    return false;
                outcome.noted = offset;
                return true;
            };
        }
        outcome.file = output_.write(job.destination, job.messageDate, bytes, job.key, &job.draft,
                                     note ? &note : nullptr);
        if (outcome.file.written()) {
            outcome.indexed = index_.append(job.entry, outcome.file.path, &outcome.indexError);
            if (csv_)
                outcome.csvIndexed = csv_->append(job.csvRow, outcome.file.path, &outcome.csvError);
        }
        const size_t size = job.bytes.size();
        if (job.bytes.capacity() > kKeptBufferSize)
            std::string().swap(job.bytes);
        else
            job.bytes.clear();
        lock.lock();
        bytes_.fetch_sub(size, std::memory_order_relaxed);
        results_.push_back(std::move(outcome));
        resultCount_.store(results_.size(), std::memory_order_release);
        const bool wake = callerWants_ > 0 && results_.size() >= callerWants_;
        lock.unlock();
        if (wake)
            changed_.notify_all();
    }
}

} // namespace parcelo
