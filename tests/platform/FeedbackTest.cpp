// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FormatByteSize.h"
#include "platform/SupportMail.h"
#include "platform/SystemInformation.h"
#include "support/TestEnv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace parcelo;

TEST(FormatByteSize, UnitsAndExactCounts) {
    struct Case {
        double size;
        const char* text;
    };
    const Case cases[] = {
        {0, "Zero bytes"},
        {700, "700 bytes"},
        {1024, "1024 bytes"},
        {1536, "1.5 KB [1536 bytes]"},
        {2048, "2 KB [2048 bytes]"},
        {1024000, "1000 KB [1024000 bytes]"},
        {1024001, "1 MB [1024001 bytes]"},
        {2048000000, "2 GB [2048000000 bytes]"},
        {8200000000, "8 GB [8200000000 bytes]"},
        {8400000000, "8.2 GB [8400000000 bytes]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatByteSize(c.size), QString::fromLatin1(c.text)) << c.size;
    EXPECT_EQ(FormatByteSize(1536, true), "1.5 KB");
}

TEST(SystemInformation, ReadsTheLinuxSources) {
    EXPECT_EQ(PlatformNameFromOsRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux "
                                        "12 (bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(PlatformNameFromOsRelease("PRETTY_NAME=Plain\n"), "Plain");
    EXPECT_EQ(PlatformNameFromOsRelease("NAME=x\n"), "");

    SystemInformation info;
    ReadMemInfo("MemTotal:        8000000 kB\nMemFree:  100 kB\nMemAvailable:    2000000 kB\n",
                info);
    EXPECT_EQ(info.totalPhysical, 8192000000.0);
    EXPECT_EQ(info.availablePhysical, 2048000000.0);
    EXPECT_EQ(info.memoryLoadPercent, 75);

    const QString cpuinfo = "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                            "cpu MHz\t\t: 2399.998\nflags\t\t: fpu mmx sse\n\n"
                            "processor\t: 1\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                            "cpu MHz\t\t: 1200.000\n";
    ReadCpuInfo(cpuinfo, "x86_64", info);
    EXPECT_EQ(info.cpuMhz, "2399");
    EXPECT_EQ(info.cpuVendor, "GenuineIntel");
    EXPECT_EQ(info.processorCount, 2);
    EXPECT_EQ(info.processorType, "Intel Pentium");
    EXPECT_EQ(info.architecture, "Native 64-bit process on AMD64");
    EXPECT_EQ(info.processorLevel, ""); // no level names for this architecture

    ReadCpuInfo(cpuinfo, "i686", info);
    EXPECT_EQ(info.architecture, "Pentium");
    EXPECT_EQ(info.processorLevel, "Pentium (II/Pro)");
    ReadCpuInfo("processor : 0\ncpu family : 5\nflags : fpu mmx\n", "i586", info);
    EXPECT_EQ(info.processorLevel, "Pentium MMX");
    ReadCpuInfo("processor\t: 0\nvendor_id\t: AuthenticAMD\ncpu family\t: 23\n"
                "model name\t: AMD EPYC 7B12\n",
                "x86_64", info);
    EXPECT_EQ(info.processorType, "AMD EPYC 7B12");
    ReadCpuInfo("processor : 0\n", "aarch64", info);
    EXPECT_EQ(info.cpuMhz, "");
    EXPECT_EQ(info.processorType, "Unknown");
    EXPECT_EQ(info.architecture, "Unknown");

    const SystemInformation here = CollectSystemInformation();
    EXPECT_GT(here.totalPhysical, 0);
    EXPECT_GT(here.processorCount, 0);
    EXPECT_GT(here.pageSize, 0);
}

namespace {

// A PATH holding only a fake mail program (when asked for) that records its arguments.
class SupportMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bin.isValid());
        savedPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    QString recordPath() const { return bin.filePath("args"); }

    void installFakeMailer() {
        const QByteArray script = "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" +
                                  recordPath().toLocal8Bit() + ".tmp'\n/bin/mv '" +
                                  recordPath().toLocal8Bit() + ".tmp' '" +
                                  recordPath().toLocal8Bit() + "'\n";
        const QString path = bin.filePath("xdg-email");
        ASSERT_TRUE(test::writeFile(path, script));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QList<QByteArray> recordedArguments() const {
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(recordPath()) && !deadline.hasExpired())
            QThread::msleep(20);
        QList<QByteArray> arguments = test::readFile(recordPath()).split('\0');
        if (!arguments.isEmpty() && arguments.back().isEmpty())
            arguments.removeLast();
        return arguments;
    }

    QTemporaryDir bin;
    QByteArray savedPath;
};

} // namespace

TEST_F(SupportMailTest, StartsTheMailProgramWithSubjectBodyAndAddress) {
    installFakeMailer();
    bool urlOpened = false;
    EXPECT_TRUE(SendSupportMail("help@x.example", "Bug Report [P 1]", "line one\r\nline two",
                                [&](const QUrl&) { return urlOpened = true; }));
    EXPECT_EQ(recordedArguments(), (QList<QByteArray>{"--subject", "Bug Report [P 1]", "--body",
                                                      "line one\r\nline two", "help@x.example"}));
    EXPECT_FALSE(urlOpened);
}

TEST_F(SupportMailTest, WithoutTheMailProgramAMailtoUrlIsOpened) {
    QUrl opened;
    EXPECT_TRUE(
        SendSupportMail("help@x.example", "New Ideas [P 1]", "a & b\n", [&](const QUrl& url) {
            opened = url;
            return true;
        }));
    EXPECT_EQ(opened.toString(QUrl::FullyEncoded),
              "mailto:help@x.example?subject=New%20Ideas%20%5BP%201%5D&body=a%20%26%20b%0D%0A");
    EXPECT_FALSE(SendSupportMail("help@x.example", "s", "", [](const QUrl&) { return false; }));
    // No opener given and no xdg-open on the PATH: nothing starts.
    EXPECT_FALSE(SendSupportMail("help@x.example", "s", ""));
}
