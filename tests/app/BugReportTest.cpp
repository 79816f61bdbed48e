// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/feedback/SupportMessages.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

SystemInformation sampleMachine() {
    SystemInformation info;
    info.memoryLoadPercent = 42;
    info.totalPhysical = 8192000000.0;
    info.availablePhysical = 1536;
    info.totalVirtual = 140737488355328.0;
    info.platformName = "Debian GNU/Linux 12 (bookworm)";
    info.build = "6.1.0-18-amd64";
    info.cpuMhz = "2400";
    info.cpuVendor = "GenuineIntel";
    info.processorType = "Intel Pentium";
    info.processorCount = 4;
    info.architecture = "Pentium";
    info.processorLevel = "Pentium (II/Pro)";
    info.pageSize = 4096;
    return info;
}

} // namespace

TEST(BugReport, SubjectsNameTheProductAndVersion) {
    EXPECT_EQ(FeedbackSubject("Parcelo", "0.1.0"), "New Ideas [Parcelo 0.1.0]");
    EXPECT_EQ(BugReportSubject("Parcelo", "0.1.0"), "Bug Report [Parcelo 0.1.0]");
}

TEST(BugReport, BodyHasTheFormAndTheSystemBlock) {
    EXPECT_EQ(BugReportBody(sampleMachine(), "Parcelo", "0.1.0"),
              "Please describe the problem:\r\n\r\n"
              "Can you consistently duplicate the problem? If so, please list the exact steps to "
              "reproduce the problem:\r\n\r\n\r\n"
              "System Information -----------------------\r\n"
              "Memory Used: 42 Percent\r\n"
              "Physical Memory: 8 GB [8192000000 bytes]\r\n"
              "Physical Memory Available: 1.5 KB [1536 bytes]\r\n"
              "Virtual Memory: 137439 GB [140737488355328 bytes]\r\n"
              "Platform: Debian GNU/Linux 12 (bookworm) / Build: 6.1.0-18-amd64\r\n"
              "CPU Speed: 2400 MHz\r\n"
              "CPU Vendor: GenuineIntel\r\n"
              "Processor Type: Intel Pentium\r\n"
              "Number of Processors: 4\r\n"
              "Architecture: Pentium\r\n"
              "Processor Level: Pentium (II/Pro)\r\n"
              "Page Size: 4096 bytes\r\n"
              "Parcelo: 0.1.0\r\n");
}

TEST(BugReport, LevelLineIsLeftOutWithoutALevelNameAndServicePackFollowsTheBuild) {
    SystemInformation info = sampleMachine();
    info.processorLevel.clear();
    info.servicePack = "SP1";
    const QString body = BugReportBody(info, "Parcelo", "0.1.0");
    EXPECT_FALSE(body.contains("Processor Level"));
    EXPECT_TRUE(body.contains("Architecture: Pentium\r\nPage Size: 4096 bytes\r\n"));
    EXPECT_TRUE(body.contains("/ Build: 6.1.0-18-amd64 / SP1\r\n"));
}

// Without a mail program on the PATH both mails become a mailto: URL, to the configured address.
TEST(BugReport, BothMailsGoToTheConfiguredSupportAddress) {
    QTemporaryDir emptyBin;
    ASSERT_TRUE(emptyBin.isValid());
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", emptyBin.path().toLocal8Bit());
    QList<QUrl> opened;
    const UrlOpener opener = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    EXPECT_TRUE(SendFeedbackMail(opener));
    EXPECT_TRUE(SendBugReportMail(opener));
    qputenv("PATH", savedPath);
    ASSERT_EQ(opened.size(), 2);
    for (const QUrl& url : opened) {
        EXPECT_EQ(url.scheme(), "mailto");
        EXPECT_EQ(url.path(), PARCELO_SUPPORT_ADDRESS);
    }
}
