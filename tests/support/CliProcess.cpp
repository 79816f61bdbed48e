// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/CliProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace parcelo::test {

CliProcessResult RunCliProcess(const QString& dir, const QStringList& arguments,
                               const QString& pathPrefix) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!pathPrefix.isEmpty())
        env.insert("PATH", pathPrefix + ":" + env.value("PATH"));
    env.insert("XDG_CONFIG_HOME", dir + "/config");
    env.insert("XDG_DATA_HOME", dir + "/data");
    env.insert("TZ", "UTC");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PARCELO_CLI_PATH), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace parcelo::test
