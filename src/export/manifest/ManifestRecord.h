// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "export/manifest/SourceFingerprint.h"
#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QtGlobal>

namespace parcelo {

// One record of the list of exported messages, as it is appended to the list's file.
struct ManifestRecord {
    enum class Kind : quint8 {
        Placed = 1,     // the message's file is about to get (or got) the path
        Withdrawn = 2,  // the file of the message's latest Placed record never got its path
        RunStarted = 3, // an export run began appending; only its time is set
        // Every message of a mail folder was exported or found exported: the fingerprint is
        // that of the folder (see ExportManifest::FolderKey), the path its change stamp, the
        // size the count of its messages, the message id where a read may go on from (or
        // empty; lists that had none are read alike).
        FolderRead = 4,
        FoldersForgotten = 5 // the folders read before are to be read again
    };
    Kind kind = Kind::Placed;
    SourceFingerprint fingerprint{};
    qint64 exportedAt = 0; // the run's start, milliseconds since 1970 (UTC)
    qint64 size = 0;       // of the file, in bytes
    FileIdentity identity; // of the file
    QByteArray path;       // relative to the destination root, as the file system names it
    QByteArray messageId;  // the Message-ID field's value, or empty

    // Bytes of every record before its own: its length and a check of the rest.
    static constexpr qsizetype kPrefixSize = 4 + 8;
    static constexpr qsizetype kFixedSize = kPrefixSize + 1 + 32 + 8 * 5 + 2 + 2;
    // Longer records are damage: a path the system takes is shorter, a Message-ID is cut.
    static constexpr qsizetype kMaxSize = 16 * 1024;
    static constexpr qsizetype kMaxMessageIdSize = 998;

    QByteArray encode() const;
    enum class Decoded {
        Whole,   // the record was read
        Partial, // the bytes end inside the record (a write that was cut short)
        Damaged, // the bytes are no record
    };
    // Reads the record at the start of bytes; length: its size in bytes, when Whole.
    static Decoded decode(QByteArrayView bytes, ManifestRecord* record, qsizetype* length);
    // The record's size from the first bytes of it (at least 4), 0 when impossible.
    static qsizetype sizeOf(QByteArrayView prefix);
};

} // namespace parcelo
