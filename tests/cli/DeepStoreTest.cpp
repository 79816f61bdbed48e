// SPDX-License-Identifier: GPL-3.0-or-later
// Stores nested deeper than a walk goes, or whose paths the system cannot take, through
// parcelo-cli: whatever is left out is one warning, and an export then exits 3.
#include "support/CliProcess.h"
#include "support/DeepTree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

const QByteArray kMessage = "From a@b Mon Jan  1 00:00:00 2001\nFrom: a@b\nSubject: deep\n"
                            "Date: Mon, 1 Jan 2001 00:00:00 +0000\n\nbody\n";

struct CliRun {
    int exitCode = -1;
    QString out;
    QStringList warnings;
};

class DeepStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        store = tmp.filePath("deep");
        ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(tmp.filePath("out")));
    }
    void TearDown() override { test::RemoveDeepTree(store); }

    CliRun run(const QStringList& arguments) {
        const test::CliProcessResult ran = test::RunCliProcess(tmp.path(), arguments);
        CliRun result{ran.exitCode, ran.out, {}};
        for (const QString& line : ran.err.split('\n'))
            if (line.startsWith("parcelo-cli: warning:"))
                result.warnings << line;
        return result;
    }
    CliRun exportStore(const QStringList& extra = {}) {
        return run(QStringList{"export", "--store", store, "--dest", tmp.filePath("out"),
                               "--app-folder", tmp.filePath("app")} +
                   extra);
    }

    QTemporaryDir tmp;
    QString store;
};

} // namespace

TEST_F(DeepStoreTest, AnMboxTree70DeepIsListedAndExportedWhole) {
    QFile top(store + "/a");
    ASSERT_TRUE(top.open(QIODevice::WriteOnly) && top.write(kMessage) == kMessage.size());
    top.close();
    ASSERT_TRUE(test::MakeDeepTree(store, 69, "a.sbd", "a", kMessage, false));

    const CliRun tree = run({"tree", "--store", store});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_TRUE(tree.warnings.isEmpty()) << tree.warnings.join('\n').toStdString();
    EXPECT_EQ(tree.out.count("a [1]"), 70) << tree.out.toStdString();

    const CliRun exported = exportStore();
    EXPECT_EQ(exported.exitCode, 0) << exported.warnings.join('\n').toStdString();
    EXPECT_TRUE(exported.warnings.isEmpty());
    EXPECT_TRUE(exported.out.contains("70 messages exported.")) << exported.out.toStdString();
}

TEST_F(DeepStoreTest, WhatATreeLeavesOutIsAWarningAndAnExportExits3) {
    const struct {
        const char* what;
        int levels;
        QByteArray dirName;
        QByteArray fileName;
        bool withCur;
        const char* folder; // the mailbox exported, a tree path
        const char* reason;
    } cases[] = {
        {"Maildir 1001 deep", 1001, "m", "", true, "deep\\m",
         "it lies more than 1000 folders deep"},
        {"mbox paths past 4096 bytes", 700, "a.sbd", "a", false, "deep\\a",
         "its path is longer than the system allows (4095 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::RemoveDeepTree(store);
        ASSERT_TRUE(QDir().mkpath(store));
        if (!c.withCur) {
            QFile top(store + "/a");
            ASSERT_TRUE(top.open(QIODevice::WriteOnly) && top.write(kMessage) == kMessage.size());
        }
        ASSERT_TRUE(
            test::MakeDeepTree(store, c.levels, c.dirName, c.fileName, kMessage, c.withCur));
        const QString warning = QStringLiteral("parcelo-cli: warning: the folder %1/%2/")
                                    .arg(store, QString::fromLatin1(c.dirName));

        const CliRun tree = run({"tree", "--store", store});
        EXPECT_EQ(tree.exitCode, 0);
        ASSERT_FALSE(tree.warnings.isEmpty());
        for (const QString& line : tree.warnings) {
            EXPECT_TRUE(line.startsWith(warning)) << line.toStdString();
            EXPECT_TRUE(
                line.endsWith(QStringLiteral(" was left out of the store's tree: ") + c.reason))
                << line.toStdString();
        }

        const CliRun exported = exportStore({"--folder", c.folder});
        EXPECT_EQ(exported.exitCode, 3);
        EXPECT_EQ(exported.warnings, tree.warnings);
        EXPECT_TRUE(exported.out.contains("One messages exported.")) << exported.out.toStdString();
    }
}
