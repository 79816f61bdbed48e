// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The full path of a message file: directory + "/" + SanitizeFileName(name) + "." + extension.
// The name is cut, at a character boundary, so that name, any "_n" suffix and extension fit
// in one file-system name (255 bytes of UTF-8). With makeUnique the first free name of
// name, name_1, name_2, ... is taken; with reserve that name is created empty, never over an
// existing entry. The directory must exist. Returns an empty text when no name can be made
// (an extension too long or holding "/"), or the file cannot be reserved.
// firstNumber lets a caller that knows name .. name_(firstNumber-1) are taken start the
// search there; numberUsed receives the number of the returned name (0 for none), error the
// reason when the result is empty.
QString BuildMessageFilePath(const QString& directory, const QString& name,
                             const QString& extension, bool makeUnique, bool reserve,
                             int firstNumber = 0, int* numberUsed = nullptr,
                             QString* error = nullptr);

// The path of the name with the suffix "_number" (none for 0), whether it is taken or not;
// empty, with the reason in error, when no name can be made.
QString NumberedMessageFilePath(const QString& directory, const QString& name,
                                const QString& extension, int number, QString* error = nullptr);

} // namespace parcelo
