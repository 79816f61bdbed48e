// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/manifest/ExportManifest.h"
#include "export/output/MessageFileOutput.h"
#include "export/report/IndexCsvWriter.h"
#include "export/report/IndexPageWriter.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace parcelo {

// Writes message files and their index page entries, in the order they are started, on a
// thread of its own, so that the next messages are read and converted while the file system
// takes the last ones. A few files may wait their turn: the time a message takes varies on
// both sides, and a short queue lets neither side wait for the other's slow message. Everything
// else about a message stays with the caller, which takes the results in the same order.
class BackgroundFileWriter {
public:
    struct Job {
        MessageDestination destination;
        QString messageDate;
        std::string bytes;
        ExportedMessageKey key;
        PreparedIndexEntry entry;
        MessageFileDraft draft; // the bytes written already, when the caller did it
        PreparedCsvRow csvRow{}; // the CSV index's row, when there is one
        // What the list of exported messages notes of the file, when there is one.
        struct ManifestNote {
            SourceFingerprint fingerprint{};
            QByteArray messageId;
        };
        std::optional<ManifestNote> manifestNote{};
    };
    struct Outcome {
        MessageFileResult file;
        bool indexed = true; // false when the index page could not take the file's entry
        QString indexError;  // and why
        bool csvIndexed = true; // the same for the CSV index
        QString csvError;
        // Where the list of exported messages noted the file last (see ExportManifest::settle).
        std::optional<qint64> noted;
        // The job handed back, its bytes emptied: its memory is the caller's to use again or
        // let go, which is cheaper on the thread that took it. Bytes bigger than
        // kKeptBufferSize are let go here, so that results waiting to be taken stay small.
        Job job;
    };

    // At most this many files, holding at most about this many bytes, wait or are written.
    static constexpr size_t kMaxJobs = 64;
    static constexpr size_t kMaxBytes = 2 << 20;
    static constexpr size_t kKeptBufferSize = 64 << 10;

    // The index page (and the CSV index, when given) gets the entry of each file written; it is
    // the caller's again whenever no result is outstanding. The list of exported messages, when
    // given, notes each file before it gets its name; the caller settles the notes.
    BackgroundFileWriter(MessageFileOutput& output, IndexPageWriter& index,
                         IndexCsvWriter* csv = nullptr, ExportManifest* manifest = nullptr);
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter&) = delete;
    BackgroundFileWriter& operator=(const BackgroundFileWriter&) = delete;

    // Hands a file over. When full(), the caller takes a result first.
    void start(Job job);
    // Waits for the oldest file whose result was not taken yet and gives its result.
    Outcome result();
    // Waits until at least count results (at most started()) can be taken at once.
    void waitForResults(size_t count);
    // The files started whose results were not taken.
    size_t started() const { return started_; }
    // The files started and not written yet: when many wait, the caller may write the next
    // file's bytes itself (see MessageFileOutput::prepare) to take work off this thread.
    size_t backlog() const { return started_ - resultCount_.load(std::memory_order_acquire); }
    bool full() const { return started_ >= kMaxJobs || bytes_.load() >= kMaxBytes; }

private:
    void run();

    MessageFileOutput& output_;
    IndexPageWriter& index_;
    IndexCsvWriter* csv_;
    ExportManifest* manifest_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::deque<Outcome> results_;
    bool stopping_ = false;
    // Read without the lock while spinning; changed under it.
    std::atomic<size_t> jobCount_{0};
    std::atomic<size_t> resultCount_{0};
    std::atomic<size_t> bytes_{0}; // of the files started and not written yet
    bool writerSleeping_ = false;
    size_t callerWants_ = 0; // results the sleeping caller waits for; 0 while it is awake
    size_t started_ = 0;     // the caller's own count
    std::thread thread_;
};

} // namespace parcelo
