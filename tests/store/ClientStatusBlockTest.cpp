// SPDX-License-Identifier: GPL-3.0-or-later
// The mail client's status fields count only where it writes them: as the first fields of a
// header, right after the separator line. The same fields further down are the sender's, and
// neither hide a message nor say that it was read; a change never edits them.
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace parcelo;
using namespace parcelo::test;

namespace {

struct Mail {
    const char* subject;
    const char* fields; // the header before the Subject field, each with its line end
};

QByteArray Mailbox(const std::vector<Mail>& mails) {
    QByteArray box;
    for (const Mail& mail : mails)
        box += QByteArray("From - Mon Jan  5 10:00:00 2009\n") + mail.fields +
               "Subject: " + mail.subject + "\n\nbody\n\n";
    return box;
}

// Subject -> the message's state as the store lists it ('u' unread, 'f' flagged).
std::map<std::string, std::string> States(const QString& dir) {
    std::map<std::string, std::string> states;
    auto store = OpenStore(dir);
    auto folder = OpenFolderByPath(*store, "Inbox");
    EXPECT_TRUE(folder);
    if (!folder)
        return states;
    for (const MESSAGEPROPS& props : EnumerateMessages(*folder))
        states[props.pszNormalSubject.toStdString()] =
            std::string(props.dwState & MSG_UNREAD ? "u" : "") +
            (props.dwState & MSG_FLAGGED ? "f" : "");
    return states;
}

// Subject -> "first field name|every X-Mozilla-Status value" of each message, as Python's
// mailbox reads the file.
std::map<std::string, std::string> FieldsInFile(const QString& path) {
    QProcess python;
    python.start("python3", {"-c",
                             "import mailbox, sys\n"
                             "for m in mailbox.mbox(sys.argv[1], create=False):\n"
                             "    print('%s|%s|%s' % (m['Subject'], m.keys()[0],\n"
                             "          ','.join(m.get_all('X-Mozilla-Status', []))))\n",
                             path});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    std::map<std::string, std::string> fields;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
        const qsizetype bar = line.indexOf('|');
        if (bar > 0)
            fields[line.left(bar).toStdString()] = line.mid(bar + 1).toStdString();
    }
    return fields;
}

} // namespace

TEST(ClientStatusBlock, OnlyTheBlockAfterTheSeparatorLineCounts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<Mail> mails = {
        {"fetched", "X-Account-Key: account2\nX-UIDL: UID1\nX-Mozilla-Status: 0001\n"
                    "X-Mozilla-Status2: 00000000\nX-Mozilla-Keys: \n"},
        {"copied", "X-Mozilla-Status: 0005\nX-Mozilla-Status2: 00000000\n"},
        {"deleted by the client", "X-Mozilla-Status: 0009\n"},
        {"fields added above", "X-Mozilla-Status2: 00000000\nX-Mozilla-Keys: \n"
                               "X-Mozilla-Status: 0001\n"},
        {"sender hides it", "From: b@example.com\nX-Mozilla-Status: 0008\n"},
        {"sender flags it",
         "Received: by mx.example.com\nX-Mozilla-Status: 0005\nX-Mozilla-Status2: 00000000\n"},
        {"sender repeats the block", "X-Mozilla-Status: 0001\nX-Mozilla-Status2: 00000000\n"
                                     "X-Mozilla-Keys: \nX-Mozilla-Status: 0008\n"},
        {"read by Status", "Received: by mx.example.com\nX-Mozilla-Status: 0000\nStatus: RO\n"},
    };
    ASSERT_TRUE(writeFile(dir.filePath("Inbox"), Mailbox(mails)));

    const std::map<std::string, std::string> expected = {
        {"fetched", ""},          {"copied", "f"},          {"fields added above", ""},
        {"sender hides it", "u"}, {"sender flags it", "u"}, {"sender repeats the block", ""},
        {"read by Status", ""},
    };
    EXPECT_EQ(States(dir.path()), expected);
    auto store = OpenStore(dir.path());
    const auto folders = WalkFolders(*store);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].props.cMessage, 7);
    EXPECT_EQ(folders[0].props.cUnread, 2);
}

TEST(ClientStatusBlock, ChangesWriteTheBlockAndLeaveTheSendersFields) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Inbox");
    ASSERT_TRUE(writeFile(path, Mailbox({
                                    {"in the block", "X-Mozilla-Status: 0000\n"
                                                     "X-Mozilla-Status2: 00000000\n"
                                                     "From: b@example.com\n"
                                                     "X-Mozilla-Status: 0008\n"},
                                    {"below", "From: b@example.com\nX-Mozilla-Status: 0000\n"},
                                    {"deleted", "From: b@example.com\nX-Mozilla-Status: 0000\n"},
                                    {"left alone", "From: b@example.com\nX-Mozilla-Status: 0008\n"},
                                })));
    {
        auto store = OpenStore(dir.path());
        auto folder = OpenFolderByPath(*store, "Inbox");
        ASSERT_TRUE(folder);
        std::map<std::string, StoreMessageId> ids;
        for (const MESSAGEPROPS& props : EnumerateMessages(*folder))
            ids[props.pszNormalSubject.toStdString()] = props.dwMessageId;
        EXPECT_EQ(ids.size(), 4u);
        MESSAGEIDLIST read;
        read.ids = {ids["in the block"], ids["below"]};
        MESSAGEIDLIST deleted;
        deleted.ids = {ids["deleted"]};
        ASSERT_EQ(folder->MarkMessagesAsRead(true, read), S_OK);
        ASSERT_EQ(folder->DeleteMessages(deleted), S_OK);
        ASSERT_EQ(folder->Compact(), S_OK) << folder->LastError().toStdString();
        ASSERT_EQ(folder->Close(), S_OK) << folder->LastError().toStdString();
    }
    const std::map<std::string, std::string> expected = {
        {"in the block", "X-Mozilla-Status|0001,0008"},
        {"below", "X-Mozilla-Status|0001,0000"},
        {"left alone", "From|0008"},
    };
    EXPECT_EQ(FieldsInFile(path), expected);
    const std::map<std::string, std::string> states = {
        {"in the block", ""}, {"below", ""}, {"left alone", "u"}};
    EXPECT_EQ(States(dir.path()), states);
}
