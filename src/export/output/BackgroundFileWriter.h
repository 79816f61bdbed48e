#pragma once

#include "export/output/MessageFileOutput.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace parcelo {

// Writes one message file at a time on a thread of its own, so that the next message is read
// and converted while the file system takes the last one. Everything else about a message
// stays with the caller, in order: it starts a file, then asks for its result before it
// starts the next one.
class BackgroundFileWriter {
public:
    struct Job {
        MessageDestination destination;
        QString messageDate;
        std::string bytes;
        ExportedMessageKey key;
    };

    explicit BackgroundFileWriter(MessageFileOutput& output);
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter&) = delete;
    BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

    // Hands the file over; the writer must be idle (the last result taken).
    void start(Job job);
    // Waits for the file started last and gives its result.
    MessageFileResult result();

private:
    void run();

    MessageFileOutput& output_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Job> job_;
    std::optional<MessageFileResult> result_;
    bool stopping_ = false;
    // Read without the lock while spinning; set and cleared under it.
    std::atomic<bool> hasJob_{false};
    std::atomic<bool> hasResult_{false};
    bool writerSleeping_ = false;
    bool callerSleeping_ = false;
    std::thread thread_;
};

} // namespace parcelo
