// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/manifest/ManifestIndex.h"
#include "export/manifest/ManifestRecord.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <mutex>
#include <optional>

namespace parcelo {

// The list of the messages exported into one destination root, kept in the root's ".parcelo"
// folder, so that a later run exports only what is new: by fingerprint (see SourceFingerprint),
// with the file each went to. Records are only ever appended, and each file's record is
// appended before the file gets its name: a run killed at any moment leaves a list whose last
// record is the only one in question, and the next run looks at that one's file. The look-up
// goes through a table on disk (ManifestIndex), so neither its time nor the memory it takes
// grows with the list. One run at a time uses the list (it is locked while open); a list of
// another format version or with damage is refused, never made anew.
//
// The writing thread notes each file (notePlacing) and nothing else; everything else, the
// table included, is the run's own thread's.
class ExportManifest {
public:
    static constexpr quint32 kFormatVersion = 1;

    ExportManifest() = default;
    ~ExportManifest();
    ExportManifest(const ExportManifest&) = delete;
    ExportManifest& operator=(const ExportManifest&) = delete;

    // Where a destination root keeps its list.
    static QString FolderOf(const QString& root);
    static QString FileOf(const QString& root);

    // Opens the root's list, creating it when there is none, for this run alone. False, with
    // why in words, when it cannot be used.
    bool open(const QString& root, const QDateTime& runStart, QString* error);
    // Flushes the destination's file system (the files the list names, the list itself) to disk
    // and lets the list go; false when that failed.
    bool close(QString* error = nullptr);
    bool isOpen() const { return logFd_ >= 0; }

    struct Found {
        ManifestRecord record;
        bool thisRun = false; // exported earlier in this run
        QString path;         // the file's absolute path
    };
    // The record of the message's latest file, when it was exported before and the run knows
    // it (see settle); false, with why, when the list cannot be read.
    bool find(const SourceFingerprint& fingerprint, std::optional<Found>* found, QString* error);
    // Up to this many messages may be added in this run (see ManifestIndex::expect).
    void expect(qint64 messages) { index_.expect(messages); }
    // Notes, on the writing thread, that the message's file is about to get the absolute path.
    // offset: the record's place, for settle.
    bool notePlacing(const SourceFingerprint& fingerprint, const QString& path, qint64 size,
                     FileIdentity identity, const QByteArray& messageId, qint64* offset,
                     QString* error);
    // Once the file noted last at offset got its path (placed) or not: the message counts as
    // exported from then on, or as not exported.
    bool settle(const SourceFingerprint& fingerprint, qint64 offset, bool placed,
                QString* error);

    // Notes that every message of a mail folder, whose state was the change stamp before it was
    // read, was exported or found exported; until it changes, a run may leave the folder out.
    // readEnd: what the store needs to read on from where the read stopped (see
    // FolderReadEnd), or empty.
    bool noteFolderRead(const SourceFingerprint& folder, const QString& stamp, qint64 messages,
                        const QByteArray& readEnd, QString* error);
    struct FolderRead {
        qint64 messages = 0;
        bool unchanged = false; // its stamp is the same as then
        QByteArray readEnd;
    };
    // What the list says of the folder's last complete read, if it still counts; false, with
    // why, when the list cannot be read.
    bool findFolderRead(const SourceFingerprint& folder, const QString& stamp,
                        std::optional<FolderRead>* found, QString* error);
    // What a folder is known by: the store's directory and the folder's tree path.
    static SourceFingerprint FolderKey(const QString& storeDirectory, const QString& treePath);

    // Whether the file of a record is there as it was written: a regular file under its path,
    // the same file (inode), of its size. Else why not, in words.
    static bool FileStands(const QString& path, const ManifestRecord& record, QString* why);

private:
    bool openLog(QString* error);
    // Reads the list through: damage is found before the run starts. Rebuilds the table when
    // it is not whole, and withdraws what the last run noted and never placed.
    bool checkLog(QString* error);
    bool scan(qint64 from, const std::function<bool(const ManifestRecord&, qint64)>& each,
              qint64* end, bool* torn, QString* error);
    bool readRecord(qint64 offset, ManifestRecord* record, QString* error);
    bool append(const ManifestRecord& record, qint64* offset, QString* error);
    bool findLocked(const SourceFingerprint& fingerprint, qint64* offset, ManifestRecord* record,
                    QString* error);
    bool index(const ManifestRecord& record, qint64 offset, QString* error);
    QString absolutePath(const QByteArray& path) const;
    QString damaged(qint64 offset) const;

    QString root_; // ends with '/'
    QByteArray logPath_;
    int logFd_ = -1;
    std::atomic<qint64> logSize_ = 0; // read by both threads, changed under appending_
    qint64 runStart_ = 0;         // records from here on were appended by this run
    qint64 foldersForgotten_ = 0; // folder records before this offset no longer count
    qint64 exportedAt_ = 0;
    // An append failed: the list is left for the next run to check.
    std::atomic<bool> broken_ = false;
    ManifestIndex index_;
    std::mutex appending_;
};

} // namespace parcelo
