// SPDX-License-Identifier: GPL-3.0-or-later
// Read and flagged as the mail client shows them, and the state that only its index holds
// written into the messages before a change removes that index.
#include "export/ExportSession.h"
#include "support/StoreTestSupport.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <utime.h>

using namespace parcelo;

namespace {

struct Mail {
    const char* subject;
    const char* statusFields;      // the message's own status fields, each with its line end
    const char* senderFields = ""; // fields among the sender's, each with its line end
};

// Messages with ids <N@test>, subjects as given; returns each separator's offset.
QByteArray Mailbox(const std::vector<Mail>& mails, std::vector<qint64>* offsets) {
    QByteArray box;
    int n = 0;
    for (const Mail& mail : mails) {
        offsets->push_back(box.size());
        box += "From sender@example.com Mon Jan  5 10:00:00 2009\n";
        box += mail.statusFields;
        box += "From: Sender <sender@example.com>\nTo: you@example.com\n";
        box += mail.senderFields;
        box += "Subject: " + QByteArray(mail.subject) + "\n";
        box += "Message-ID: <" + QByteArray::number(++n) + "@test>\n";
        box +=
            "Date: Mon, 05 Jan 2009 10:00:00 +0000\n\nBody of " + QByteArray(mail.subject) + "\n\n";
    }
    return box;
}

struct Row {
    qint64 offset;
    quint32 flags;
    const char* keywords;
};

// An index in the client's Mork text: the rows as first written with no flags, then a later
// transaction that sets each row's flags and tags, as the client appends a change.
QByteArray Index(const std::vector<Row>& rows) {
    QByteArray mork = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
                      "< <(a=c)> // (f=iso-8859-1)\n"
                      "  (80=ns:msg:db:row:scope:msgs:all)(81=subject)(83=message-id)\n"
                      "  (88=flags)(96=ns:msg:db:table:kind:msgs)(B3=storeToken)\n"
                      "  (B9=keywords)>\n"
                      "{1:^80 {(k^96:c)(s=9)} \n";
    for (size_t i = 0; i < rows.size(); ++i)
        mork += "  [" + QByteArray::number(quint64(i + 1), 16).toUpper() +
                "(^B3=" + QByteArray::number(rows[i].offset) +
                ")(^88=0)(^83=" + QByteArray::number(quint64(i + 1)) + "@test)]\n";
    mork += "}\n\n@$${2{@\n";
    for (size_t i = 0; i < rows.size(); ++i)
        mork += "[" + QByteArray::number(quint64(i + 1), 16).toUpper() +
                ":^80(^88=" + QByteArray::number(rows[i].flags, 16) + ")(^B9=" + rows[i].keywords +
                ")]\n";
    mork += "@$$}2}@\n";
    return mork;
}

void SetModified(const QString& path, time_t when) {
    const struct utimbuf times { when, when };
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

class ClientIndexStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        profile = tmp.filePath("profile");
        store = profile + "/Mail/Local Folders";
        ASSERT_TRUE(QDir().mkpath(store) && QDir().mkpath(tmp.filePath("out")));
        ASSERT_TRUE(test::writeFile(profile + "/prefs.js", "\n"));
    }

    // Writes the mailbox and, when rows are given, an index at least as new as it.
    void make(const std::vector<Mail>& mails, const std::vector<Row>& rows, bool current = true) {
        offsets.clear();
        ASSERT_TRUE(test::writeFile(store + "/Inbox", Mailbox(mails, &offsets)));
        SetModified(store + "/Inbox", 1700000000);
        if (!rows.empty()) {
            ASSERT_TRUE(test::writeFile(store + "/Inbox.msf", Index(rows)));
            SetModified(store + "/Inbox.msf", current ? 1700000000 : 1600000000);
        }
    }

    // Subject -> the message's state as the store reports it ('u' unread, 'f' flagged).
    std::map<QByteArray, QByteArray> states() {
        std::map<QByteArray, QByteArray> result;
        auto opened = test::OpenStore(store);
        auto folder = test::OpenFolderByPath(*opened, "Inbox");
        EXPECT_TRUE(folder);
        if (!folder)
            return result;
        for (const MESSAGEPROPS& props : test::EnumerateMessages(*folder))
            result[props.pszNormalSubject] = QByteArray(props.dwState & MSG_UNREAD ? "u" : "") +
                                             (props.dwState & MSG_FLAGGED ? "f" : "");
        return result;
    }

    int treeUnread() {
        auto opened = test::OpenStore(store);
        for (const auto& line : test::WalkFolders(*opened))
            if (line.path == "Inbox")
                return line.props.cUnread;
        return -1;
    }

    // Exports and deletes the messages whose subject contains the text.
    void exportDeleting(const QString& subject) { exportActing(subject, false); }

    // Exports the messages whose subject contains the text, then deletes or marks them read.
    void exportActing(const QString& subject, bool markRead) {
        ExportSettings app;
        app.Paths = AppPaths::ForFolder(tmp.filePath("app"));
        QDir().mkpath(app.Paths.AppFolder);
        app.FolderPath = tmp.filePath("out") + "/";
        (markRead ? app.ActionMarkRead : app.ActionDelete) = 1;
        STR_FILTER_ITEM item;
        item.Criteria = 1;
        item.TextField = subject;
        app.Filters.items = {item};
        auto opened = test::OpenStore(store);
        FolderTreeModel tree;
        tree.PopulateFolderTree(*opened);
        tree.CheckAll();
        struct : IExportObserver {
            void SetProgress(int) override {}
            void SetStatusText(const QString&) override {}
        } observer;
        ExportSession session(app, *opened, observer);
        const ExportCommandResult result = session.OnExportMessages(tree);
        EXPECT_EQ(result.Exported, 1);
        EXPECT_TRUE(result.Problems.isEmpty()) << result.Problems.join('\n').toStdString();
    }

    // Subject -> "status status2 keys" of each message, as Python's mailbox reads the file.
    std::map<QByteArray, QByteArray> fieldsInFile() {
        QProcess python;
        python.start("python3",
                     {"-c",
                      "import mailbox, sys\n"
                      "for m in mailbox.mbox(sys.argv[1], create=False):\n"
                      "    print('%s|%s %s %s' % (m['Subject'], m.get('X-Mozilla-Status', '-'),\n"
                      "          m.get('X-Mozilla-Status2', '-'),\n"
                      "          (m.get('X-Mozilla-Keys') or '-').strip() or '-'))\n",
                      store + "/Inbox"});
        EXPECT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        std::map<QByteArray, QByteArray> result;
        for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
            const qsizetype bar = line.indexOf('|');
            if (bar > 0)
                result[line.left(bar)] = line.mid(bar + 1);
        }
        return result;
    }

    QTemporaryDir tmp;
    QString profile;
    QString store;
    std::vector<qint64> offsets;
};

const std::vector<Mail> kStatusMails = {
    {"seen", "Status: O\n"},
    {"read", "Status: RO\n"},
    {"new", ""},
    {"x-flagged", "X-Status: F\n"},
    {"moz-read", "X-Mozilla-Status: 0001\nStatus: O\n"},
    {"moz-unread", "X-Mozilla-Status: 0000\nStatus: RO\n"},
    {"moz-flagged", "X-Mozilla-Status: 0004\n"},
};

} // namespace

TEST_F(ClientIndexStateTest, WithoutAnIndexTheStatusFieldsReadAsTheClientReadsThem) {
    make(kStatusMails, {});
    const std::map<QByteArray, QByteArray> client = {
        {"seen", ""},     {"read", ""},        {"new", "u"},          {"x-flagged", "u"},
        {"moz-read", ""}, {"moz-unread", "u"}, {"moz-flagged", "uf"},
    };
    EXPECT_EQ(states(), client);
    EXPECT_EQ(treeUnread(), 4);

    // Outside a profile, other programs' rules: O is only seen, X-Status F is flagged.
    QFile::remove(profile + "/prefs.js");
    const std::map<QByteArray, QByteArray> plain = {
        {"seen", "u"},    {"read", ""},        {"new", "u"},          {"x-flagged", "uf"},
        {"moz-read", ""}, {"moz-unread", "u"}, {"moz-flagged", "uf"},
    };
    EXPECT_EQ(states(), plain);
    EXPECT_EQ(treeUnread(), 5);
}

TEST_F(ClientIndexStateTest, ACurrentIndexSaysWhatIsReadAndFlagged) {
    std::vector<qint64> at;
    Mailbox(kStatusMails, &at);
    // The index disagrees with every message's fields: it is what the client shows.
    const std::vector<Row> rows = {
        {at[0], 0x0, ""}, {at[1], 0x4, ""}, {at[2], 0x1, ""}, {at[3], 0x5, ""},
        {at[4], 0x0, ""}, {at[5], 0x1, ""}, {at[6], 0x0, ""},
    };
    make(kStatusMails, rows);
    const std::map<QByteArray, QByteArray> indexed = {
        {"seen", "u"},     {"read", "uf"},     {"new", ""},          {"x-flagged", "f"},
        {"moz-read", "u"}, {"moz-unread", ""}, {"moz-flagged", "u"},
    };
    EXPECT_EQ(states(), indexed);
    EXPECT_EQ(treeUnread(), 4);

    // An index older than the mailbox does not know it: the fields count again.
    make(kStatusMails, rows, false);
    EXPECT_EQ(states().at("seen"), "");
    EXPECT_EQ(states().at("new"), "u");
}

TEST_F(ClientIndexStateTest, AChangeWritesTheIndexStateIntoTheKeptMessages) {
    const std::vector<Mail> mails = {
        {"only-index-read", ""},
        {"tagged", "Status: O\n"},
        {"as-file-says", ""},
        {"exported", ""},
        {"moz-fields", "X-Mozilla-Status: 0000\nX-Mozilla-Status2: 00000000\n"
                       "X-Mozilla-Keys:                                       \n"},
    };
    std::vector<qint64> at;
    Mailbox(mails, &at);
    make(mails, {{at[0], 0x1, ""},
                 {at[1], 0x5, "$label1 work"},
                 {at[2], 0x0, ""},
                 {at[3], 0x0, ""},
                 {at[4], 0x1003, "later"}});

    exportDeleting("exported");

    EXPECT_FALSE(QFile::exists(store + "/Inbox.msf"));
    const std::map<QByteArray, QByteArray> expected = {
        {"only-index-read", "0001 00000000 -"},
        {"tagged", "0005 00000000 $label1 work"},
        {"as-file-says", "- - -"},
        {"moz-fields", "1003 00000000 later"},
    };
    EXPECT_EQ(fieldsInFile(), expected);
    // With the index gone, the store reads the same state from the file alone.
    const std::map<QByteArray, QByteArray> shown = {
        {"only-index-read", ""}, {"tagged", "f"}, {"as-file-says", "u"}, {"moz-fields", ""}};
    EXPECT_EQ(states(), shown);
}

TEST_F(ClientIndexStateTest, TheIndexStateIsWrittenAboveASendersStatusFields) {
    // The client reads the first X-Mozilla-Status of a header: without a block of its own,
    // once the index is gone, the sender's would hide the message, or mark it read.
    const std::vector<Mail> mails = {{"hidden by the sender", "", "X-Mozilla-Status: 0008\n"},
                                     {"read by the sender", "", "X-Mozilla-Status: 0001\n"},
                                     {"exported", ""}};
    std::vector<qint64> at;
    Mailbox(mails, &at);
    make(mails, {{at[0], 0x0, ""}, {at[1], 0x0, ""}, {at[2], 0x0, ""}});

    exportDeleting("exported");

    EXPECT_FALSE(QFile::exists(store + "/Inbox.msf"));
    const std::map<QByteArray, QByteArray> expected = {
        {"hidden by the sender", "0000 00000000 -"},
        {"read by the sender", "0000 00000000 -"},
    };
    EXPECT_EQ(fieldsInFile(), expected);
    EXPECT_EQ(states(), (std::map<QByteArray, QByteArray>{{"hidden by the sender", "u"},
                                                          {"read by the sender", "u"}}));
}

TEST_F(ClientIndexStateTest, AStaleOrForeignIndexIsNotWrittenIntoTheFile) {
    const std::vector<Mail> mails = {{"first", ""}, {"exported", ""}};
    std::vector<qint64> at;
    Mailbox(mails, &at);
    // Stale: older than the mailbox.
    make(mails, {{at[0], 0x1, ""}, {at[1], 0x0, ""}}, false);
    exportDeleting("exported");
    EXPECT_EQ(fieldsInFile(), (std::map<QByteArray, QByteArray>{{"first", "- - -"}}));

    // Current, but its row at that offset is another message's (Message-ID differs).
    QDir(tmp.filePath("out")).removeRecursively();
    QDir().mkpath(tmp.filePath("out"));
    make(mails, {{at[1], 0x0, ""}, {at[0], 0x1, ""}});
    exportDeleting("exported");
    EXPECT_EQ(fieldsInFile(), (std::map<QByteArray, QByteArray>{{"first", "- - -"}}));
}

TEST_F(ClientIndexStateTest, FieldsThatHoldTheIndexStateAreEditedInPlace) {
    const QByteArray fields = "X-Mozilla-Status: 0000\nX-Mozilla-Status2: 00000000\n"
                              "X-Mozilla-Keys:                                        \n";
    const std::vector<Mail> mails = {{"replied", fields.constData()},
                                     {"exported", fields.constData()},
                                     {"tagged", fields.constData()}};
    std::vector<qint64> at;
    Mailbox(mails, &at);
    make(mails, {{at[0], 0x3, ""}, {at[1], 0x0, ""}, {at[2], 0x00800004, "$label2"}});
    const qint64 size = QFileInfo(store + "/Inbox").size();

    exportActing("exported", true);

    EXPECT_EQ(QFileInfo(store + "/Inbox").size(), size) << "not edited in place";
    EXPECT_FALSE(QFile::exists(store + "/Inbox.msf"));
    const std::map<QByteArray, QByteArray> expected = {
        {"replied", "0003 00000000 -"},
        {"exported", "0001 00000000 -"},
        {"tagged", "0004 00800000 $label2"},
    };
    EXPECT_EQ(fieldsInFile(), expected);
}
