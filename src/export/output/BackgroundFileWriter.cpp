#include "export/output/BackgroundFileWriter.h"

#include <chrono>

namespace parcelo {

namespace {

// Each side looks for the other's hand-over a little while before it sleeps: waking a
// sleeping thread costs a system call on both sides.
bool SpinUntilNonZero(const std::atomic<size_t>& count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    for (int i = 0;; ++i) {
        if (count.load(std::memory_order_acquire) != 0)
            return true;
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until)
            return false;
    }
}

} // namespace

BackgroundFileWriter::BackgroundFileWriter(MessageFileOutput& output, IndexPageWriter& index)
    : output_(output), index_(index), thread_([this] { run(); }) {}

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
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    jobCount_.store(jobs_.size(), std::memory_order_release);
    if (writerSleeping_)
        changed_.notify_all();
}

BackgroundFileWriter::Outcome BackgroundFileWriter::result() {
    SpinUntilNonZero(resultCount_);
    std::unique_lock lock(mutex_);
    if (results_.empty()) {
        callerSleeping_ = true;
        changed_.wait(lock, [this] { return !results_.empty(); });
        callerSleeping_ = false;
    }
    Outcome result = std::move(results_.front());
    results_.pop_front();
    resultCount_.store(results_.size(), std::memory_order_release);
    --started_;
    return result;
}

void BackgroundFileWriter::run() {
    for (;;) {
        SpinUntilNonZero(jobCount_);
        std::unique_lock lock(mutex_);
        if (jobs_.empty() && !stopping_) {
            writerSleeping_ = true;
            changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            writerSleeping_ = false;
        }
        if (jobs_.empty())
            return; // stopping, with nothing left to write
        // The job stays queued while it is written; only this thread takes jobs off.
        Job& job = jobs_.front();
        lock.unlock();
        const QByteArray bytes =
            QByteArray::fromRawData(job.bytes.data(), static_cast<qsizetype>(job.bytes.size()));
        Outcome outcome;
        outcome.file = output_.write(job.destination, job.messageDate, bytes, job.key);
        if (outcome.file.written()) {
            job.entry.filePath = outcome.file.path;
            outcome.indexed = index_.append(job.entry, &outcome.indexError);
        }
        const size_t size = job.bytes.size();
        if (job.bytes.capacity() <= kSpentBufferLimit) {
            job.bytes.clear();
            outcome.spentBuffer = std::move(job.bytes);
        }
        lock.lock();
        jobs_.pop_front();
        jobCount_.store(jobs_.size(), std::memory_order_release);
        bytes_.fetch_sub(size, std::memory_order_relaxed);
        results_.push_back(std::move(outcome));
        resultCount_.store(results_.size(), std::memory_order_release);
        if (callerSleeping_)
            changed_.notify_all();
    }
}

} // namespace parcelo
