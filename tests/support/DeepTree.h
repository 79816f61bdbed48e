// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo::test {

// Builds a chain of levels directories below root, each named dirName and holding the file
// fileName (with content, unless fileName is empty) and, when withCur, a cur/ directory with
// one message. Works through descriptors, so the chain may be longer than the system's paths.
bool MakeDeepTree(const QString& root, int levels, const QByteArray& dirName,
                  const QByteArray& fileName, const QByteArray& content, bool withCur);

// Removes path and everything below it, however deep.
void RemoveDeepTree(const QString& path);

} // namespace parcelo::test
