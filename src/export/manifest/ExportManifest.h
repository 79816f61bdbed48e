// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/manifest/ManifestIndex.h"
#include "export/manifest/ManifestRecord.h"

#include <QDateTime>
#include <QString>
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
    // Flushes the list to disk and lets it go; false when that failed.
    bool close(QString* error = nullptr);
    bool isOpen() const { return logFd_ >= 0; }

    struct Found {
        ManifestRecord record;
        bool thisRun = false; // exported earlier in this run
        QString path;         // the file's absolute path
    };
    // The record of the message's latest file, when it was exported before; false, with why,
    // when the list cannot be read. The look-ups and notes may come from different threads.
    bool find(const SourceFingerprint& fingerprint, std::optional<Found>* found, QString* error);
    // Notes that the message's file is about to get the absolute path. offset: the record's
    // place, to withdraw it should the file not get the path after all.
    bool notePlacing(const SourceFingerprint& fingerprint, const QString& path, qint64 size,
                     FileIdentity identity, const QByteArray& messageId, qint64* offset,
                     QString* error);
    // The file noted at offset did not get its path: the message counts as not exported, unless
    // a later record of it was noted meanwhile.
    bool withdraw(const SourceFingerprint& fingerprint, qint64 offset, QString* error);

    // Notes that every message of a mail folder, whose state was the change stamp before it was
    // read, was exported or found exported; until it changes, a run may leave the folder out.
    bool noteFolderRead(const SourceFingerprint& folder, const QString& stamp, qint64 messages,
                        QString* error);
    // The number of messages of the folder when it was read last, if its stamp was the same
    // then; else nullopt. False, with why, when the list cannot be read.
    bool findFolderRead(const SourceFingerprint& folder, const QString& stamp,
                        std::optional<qint64>* messages, QString* error);
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
    qint64 logSize_ = 0;
    qint64 runStart_ = 0; // records from here on were appended by this run
    qint64 foldersForgotten_ = 0; // folder records before this offset no longer count
    qint64 exportedAt_ = 0;
    bool broken_ = false; // an append failed: the list is left for the next run to check
    ManifestIndex index_;
    std::mutex mutex_;
};

} // namespace parcelo
