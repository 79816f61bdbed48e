// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo::test {

struct CliProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs parcelo-cli from outside with settings and data folders of its own under dir, in UTC;
// pathPrefix, when given, is searched for programs before PATH.
CliProcessResult RunCliProcess(const QString& dir, const QStringList& arguments,
                               const QString& pathPrefix = {});

} // namespace parcelo::test
