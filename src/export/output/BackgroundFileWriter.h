// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/manifest/ExportManifest.h"
#include "export/output/MessageFileOutput.h"
#include "export/report/IndexCsvWriter.h"
#include "export/report/IndexPageWriter.h"

#include <array>
#include <atomic>
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
        MessageFileDraft draft;  // the bytes written already, when the caller did it
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
        bool indexed = true;    // false when the index page could not take the file's entry
        QString indexError;     // and why
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
    size_t started() const { return published_.load(std::memory_order_relaxed) - taken_; }
    // The files started and not written yet: when many wait, the caller may write the next
    // file's bytes itself (see MessageFileOutput::prepare) to take work off this thread.
    size_t backlog() const {
        return published_.load(std::memory_order_relaxed) -
               written_.load(std::memory_order_acquire);
    }
    bool full() const { return started() >= kMaxJobs || bytes_.load() >= kMaxBytes; }

private:
    void run();
    void WakeWriter();
    static constexpr quint32 kWakeBatch = 8;

    MessageFileOutput& output_;
    IndexPageWriter& index_;
    IndexCsvWriter* csv_;
    ExportManifest* manifest_;
    // A ring of one slot a file: the caller fills the slot of each file it starts, the writer
    // puts the result in the same slot, the caller takes it from there. Counts only grow (they
    // wrap): the caller's started and taken, the writer's written.
    std::array<Outcome, kMaxJobs> slots_;
    std::atomic<quint32> published_{0};
    std::atomic<quint32> written_{0};
    quint32 taken_ = 0;
    std::atomic<size_t> bytes_{0}; // of the files started and not written yet
    std::atomic<bool> stopping_{false};
    // Each side's sleep: whether it sleeps, and what wakes it (a sleeper waits for the value to
    // move, which the other side does only while it says it sleeps, so a hand-over between
    // awake threads costs no system call). The caller sleeps until written_ reaches
    // callerTarget_.
    std::atomic<bool> writerSleeps_{false};
    std::atomic<quint32> writerWake_{0};
    std::atomic<bool> callerSleeps_{false};
    std::atomic<quint32> callerTarget_{0};
    std::atomic<quint32> callerWake_{0};
    std::thread thread_;
};

} // namespace parcelo
