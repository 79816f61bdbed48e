#include "export/output/BackgroundFileWriter.h"

namespace parcelo {

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
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        result_.reset();
    }
    changed_.notify_all();
}

MessageFileResult BackgroundFileWriter::result() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return result_.has_value(); });
    MessageFileResult result = std::move(*result_);
    result_.reset();
    return result;
}

void BackgroundFileWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || job_.has_value(); });
        if (!job_)
            return; // stopping, with nothing left to write
        Job job = std::move(*job_);
        job_.reset();
        lock.unlock();
        const QByteArray bytes =
            QByteArray::fromRawData(job.bytes.data(), static_cast<qsizetype>(job.bytes.size()));
        MessageFileResult result = output_.write(job.destination, job.messageDate, bytes, job.key);
        std::string().swap(job.bytes);
        lock.lock();
        result_ = std::move(result);
        changed_.notify_all();
    }
}

} // namespace parcelo
