// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/BackgroundFileWriter.h"

#include <algorithm>
#include <chrono>

namespace parcelo {

namespace {

// Each side looks for the other's hand-over a little while before it sleeps: waking a
// sleeping thread costs a system call on both sides.
template <typename Ready> bool SpinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    for (int i = 0;; ++i) {
        if (ready())
            return true;
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until)
            return false;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

// Moves a sleeper's wake value, and wakes it when it sleeps.
void Wake(std::atomic<quint32>& wake) {
    wake.fetch_add(1);
    wake.notify_one();
}

} // namespace

BackgroundFileWriter::BackgroundFileWriter(MessageFileOutput& output, IndexPageWriter& index,
                                           IndexCsvWriter* csv, ExportManifest* manifest)
    : output_(output), index_(index), csv_(csv), manifest_(manifest), thread_([this] { run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
    stopping_.store(true);
    writerSleeps_.store(false);
    Wake(writerWake_);
    thread_.join();
}

void BackgroundFileWriter::start(Job job) {
    const quint32 published = published_.load(std::memory_order_relaxed);
    Outcome& slot = slots_[published % kMaxJobs];
    slot = Outcome();
    bytes_.fetch_add(job.bytes.size(), std::memory_order_relaxed);
    slot.job = std::move(job);
    // The slot is the writer's from here; a writer about to sleep either sees it or is woken.
    published_.store(published + 1);
    // A sleeping writer is woken for a few files at once, or when the caller waits for one.
    if (published + 1 - written_.load() >= kWakeBatch)
        WakeWriter();
}

void BackgroundFileWriter::WakeWriter() {
    if (writerSleeps_.load() && writerSleeps_.exchange(false))
        Wake(writerWake_);
}

void BackgroundFileWriter::waitForResults(size_t count) {
    count = std::min(count, started());
    const quint32 target = taken_ + quint32(count);
    const auto ready = [this, target] { return qint32(written_.load() - target) >= 0; };
    if (count == 0)
        return;
    WakeWriter();
    if (SpinUntil(ready))
        return;
    callerTarget_.store(target);
    for (;;) {
        const quint32 seen = callerWake_.load();
        callerSleeps_.store(true);
        if (ready())
            break;
        callerWake_.wait(seen);
    }
    callerSleeps_.store(false);
}

BackgroundFileWriter::Outcome BackgroundFileWriter::result() {
    waitForResults(1);
    Outcome result = std::move(slots_[taken_ % kMaxJobs]);
    ++taken_;
    return result;
}

void BackgroundFileWriter::run() {
    for (quint32 written = 0;; ++written) {
        const auto ready = [this, written] { return published_.load() != written; };
        if (!SpinUntil(ready)) {
            for (;;) {
                const quint32 seen = writerWake_.load();
                writerSleeps_.store(true);
                if (ready() || stopping_.load())
                    break;
                writerWake_.wait(seen);
            }
            writerSleeps_.store(false);
            if (!ready())
                return; // stopping, with nothing left to write
        }
        Outcome& outcome = slots_[written % kMaxJobs];
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
        bytes_.fetch_sub(size, std::memory_order_relaxed);
        // The slot is the caller's again; a caller about to sleep either sees it or is woken.
        written_.store(written + 1);
        if (callerSleeps_.load() && qint32(written + 1 - callerTarget_.load()) >= 0 &&
            callerSleeps_.exchange(false))
            Wake(callerWake_);
    }
}

} // namespace parcelo
