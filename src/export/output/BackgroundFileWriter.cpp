#include "export/output/BackgroundFileWriter.h"

#include <chrono>

namespace parcelo {

namespace {

// Each side looks for the other's hand-over a little while before it sleeps: a file is written
// in about as long as a message is converted, and waking a sleeping thread costs a system call
// on both sides.
bool SpinUntil(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    for (int i = 0;; ++i) {
        if (flag.load(std::memory_order_acquire))
            return true;
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > until)
            return false;
    }
}

} // namespace

BackgroundFileWriter::BackgroundFileWriter(MessageFileOutput& output)
    : output_(output), thread_([this] { run(); }) {}

BackgroundFileWriter::~BackgroundFileWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundFileWriter::start(Job job) {
    std::lock_guard lock(mutex_);
    job_ = std::move(job);
    result_.reset();
    hasResult_.store(false, std::memory_order_release);
    hasJob_.store(true, std::memory_order_release);
    if (writerSleeping_)
        changed_.notify_all();
}

MessageFileResult BackgroundFileWriter::result() {
    SpinUntil(hasResult_);
    std::unique_lock lock(mutex_);
    callerSleeping_ = true;
    changed_.wait(lock, [this] { return result_.has_value(); });
    callerSleeping_ = false;
    MessageFileResult result = std::move(*result_);
    result_.reset();
    hasResult_.store(false, std::memory_order_release);
    return result;
}

void BackgroundFileWriter::run() {
    for (;;) {
        SpinUntil(hasJob_);
        std::unique_lock lock(mutex_);
        writerSleeping_ = true;
        changed_.wait(lock, [this] { return stopping_ || job_.has_value(); });
        writerSleeping_ = false;
        if (!job_)
            return; // stopping, with nothing left to write
        Job job = std::move(*job_);
        job_.reset();
        hasJob_.store(false, std::memory_order_release);
        lock.unlock();
        const QByteArray bytes =
            QByteArray::fromRawData(job.bytes.data(), static_cast<qsizetype>(job.bytes.size()));
        MessageFileResult result = output_.write(job.destination, job.messageDate, bytes, job.key);
        std::string().swap(job.bytes);
        lock.lock();
        result_ = std::move(result);
        hasResult_.store(true, std::memory_order_release);
        if (callerSleeping_)
            changed_.notify_all();
    }
}

} // namespace parcelo
