#pragma once

#include "export/output/FileIdentity.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

// Message files are written under a hidden temporary name in their directory and moved into
// place complete, so that a run killed mid-write never leaves part of a message under a name
// that looks like a message file.

// Writes all the bytes to the open file, going on after short writes; false (errno says why,
// 0 for a write that took nothing) when that fails.
bool WriteAllToFd(int fd, const QByteArray& bytes);

// Writes the bytes to a new temporary file in the directory and returns its path, or an empty
// text with the system's reason in error when that fails (nothing is left behind then).
// identity: which file it is, taken while it is still open.
QString WriteTemporaryMessageFile(const QString& directory, const QByteArray& bytes,
                                  QString* error = nullptr, FileIdentity* identity = nullptr);

enum class PlaceResult {
    Placed, // the temporary file now has the name
    Taken,  // something (a file, a link, anything) has the name: the temporary file stays
    Failed, // the temporary file stays
};

// Gives the temporary file the name unless anything already has it; the reason of a failure
// goes to error.
PlaceResult PlaceMessageFile(const QString& temporary, const QString& path,
                             QString* error = nullptr);

// Replaces the entry named path (a link is replaced, never followed) with a file holding the
// bytes. On failure the old entry stays as it was and the result is false, with the reason in
// error. identity: which file has the name now.
bool ReplaceMessageFile(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                        FileIdentity* identity = nullptr);

// Removes the temporary files that runs which are no longer alive left in the directory.
void RemoveOrphanedTemporaryFiles(const QString& directory);

} // namespace parcelo
