// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mork/MailFolderIndex.h"

#include "store/mork/MorkParser.h"
#include "support/TestEnv.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

QByteArray Fixture(const char* name) {
    return test::readFile(QStringLiteral(PARCELO_SOURCE_DIR "/tests/store/data/") +
                          QLatin1StringView(name));
}

// The start of an index as the client writes it: the header line and the column dictionary.
const QByteArray kHead = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
                         "< <(a=c)> // (f=iso-8859-1)\n"
                         "  (80=ns:msg:db:row:scope:msgs:all)(81=subject)(83=message-id)\n"
                         "  (88=flags)(96=ns:msg:db:table:kind:msgs)(9C=msgOffset)\n"
                         "  (B3=storeToken)(B9=keywords)>\n";

MailFolderIndex Load(const QByteArray& bytes) {
    MailFolderIndex index;
    QString error;
    EXPECT_TRUE(index.load(bytes, &error)) << error.toStdString();
    return index;
}

QString LoadError(const QByteArray& bytes) {
    MailFolderIndex index;
    QString error;
    EXPECT_FALSE(index.load(bytes, &error));
    EXPECT_TRUE(index.entries().empty());
    EXPECT_FALSE(error.isEmpty());
    return error;
}

MorkDocument Parse(const QByteArray& bytes) {
    MorkDocument doc;
    QString error;
    EXPECT_TRUE(MorkParser::parse(bytes, &doc, &error)) << error.toStdString();
    return doc;
}

QByteArray Cell(const MorkDocument& doc, const char* scope, quint32 id, const char* column) {
    const MorkRow* row = doc.row({doc.token(scope), id});
    const QByteArray* value = row ? row->value(doc.token(column)) : nullptr;
    return value ? *value : QByteArray("<none>");
}

constexpr const char* kMsgs = "ns:msg:db:row:scope:msgs:all";
constexpr const char* kFolderInfo = "ns:msg:db:row:scope:dbfolderinfo:all";

} // namespace

// love.msf and withjson.msf are the client's own test indexes; the expected message ids are
// the ones its tests check.
TEST(MailFolderIndex, ReadsTheClientsOwnIndexes) {
    const MailFolderIndex love = Load(Fixture("love.msf"));
    ASSERT_EQ(love.entries().size(), 1u);
    const MailFolderIndexEntry& homer = love.entries()[0];
    EXPECT_EQ(homer.messageKey, 1u);
    EXPECT_EQ(homer.messageId, "fe06cac4-18ed-43aa-98a9-ee358e82b368@example.com");
    EXPECT_EQ(homer.flags, 0x1u);
    EXPECT_EQ(homer.offset, 0);
    EXPECT_FALSE(homer.offsetFromKey);
    EXPECT_EQ(homer.keywords, "");
    EXPECT_EQ(love.findAt(0), &homer);

    // An IMAP folder: the row is defined in a thread table and only referenced by the
    // message table, and no column gives an offset.
    const MailFolderIndex imap = Load(Fixture("withjson.msf"));
    ASSERT_EQ(imap.entries().size(), 1u);
    const MailFolderIndexEntry& sync = imap.entries()[0];
    EXPECT_EQ(sync.messageKey, 0x43u);
    EXPECT_EQ(sync.messageId, "ex.sqlite@example");
    EXPECT_EQ(sync.flags, 0x10000001u);
    EXPECT_EQ(sync.offset, 0x43);
    EXPECT_TRUE(sync.offsetFromKey);
}

TEST(MorkParser, LaterGroupsChangeRowsOfTheRealIndexes) {
    const MorkDocument love = Parse(Fixture("love.msf"));
    // Group C adds a cell to the message row from outside any table.
    EXPECT_EQ(Cell(love, kMsgs, 1, "gloda-id"), "c1");
    EXPECT_EQ(Cell(love, kMsgs, 1, "subject"), "=?UTF-8?Q?=E2=9D=A4_from_homer?=");
    // Group B rewrites the folder row after dropping its cells ("[-1:^9F ...]").
    EXPECT_EQ(Cell(love, kFolderInfo, 1, "sortType"), "12");
    EXPECT_EQ(Cell(love, kFolderInfo, 1, "MRUTime"), "1741679504");
    EXPECT_EQ(Cell(love, kFolderInfo, 1, "sortColumns"), "\x12"
                                                         "2");
    EXPECT_EQ(Cell(love, kFolderInfo, 1, "folderName"), "<none>");

    // Trash.msf (CRLF lines) comes from the tests of another Mork reader, which expect the
    // folder name "Koš"; its last commit sets the purge time, and its message table is emptied.
    const MorkDocument trash = Parse(Fixture("Trash.msf"));
    EXPECT_EQ(Cell(trash, kFolderInfo, 1, "folderName"), "Ko\xC5\xA1");
    EXPECT_EQ(Cell(trash, kFolderInfo, 1, "LastPurgeTime"), "Wed Oct 09 14:23:17 2019");
    const MorkTable* messages = trash.table({trash.token(kMsgs), 1});
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(messages->rows.empty());
    EXPECT_EQ(messages->kind, trash.token("ns:msg:db:table:kind:msgs"));
    EXPECT_TRUE(Load(Fixture("Trash.msf")).entries().empty());

    // A value continued over CRLF line ends, with escaped ')': the JSON the client's test reads.
    const MorkDocument imap = Parse(Fixture("withjson.msf"));
    const QJsonObject states =
        QJsonDocument::fromJson(Cell(imap, kFolderInfo, 1, "columnStates")).object();
    EXPECT_FALSE(states.value("selectCol").toObject().value("visible").toBool(true));
    EXPECT_EQ(states.value("deleteCol").toObject().value("ordinal").toInt(), 26);
    EXPECT_TRUE(Cell(imap, kMsgs, 0x43, "ccList").endsWith("Sommerzeit)\""));
}

// Snippets of the client's own parser tests, with the values they expect.
TEST(MorkParser, ValuesKeepWhatLooksLikeSyntax) {
    const QByteArray dict = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
                            "< <(a=c)>(80=ns:msg:db:row:scope:msgs:all)(81=subject)>\n";
    const struct {
        QByteArray body;
        quint32 row;
        QByteArray subject;
    } cases[] = {
        {"<(8A=Test -> Inbox)(DB\n =Test POP3)>\n{1:^80 {(k^96:c)(s=9)}\n  [1(^81^8A)]\n  "
         "[2(^81^DB)]\n}",
         1, "Test -> Inbox"},
        {"<(8A=Test -> Inbox)(DB\n =Test POP3)>\n{1:^80 {(k^96:c)(s=9)}\n  [1(^81^8A)]\n  "
         "[2(^81^DB)]\n}",
         2, "Test POP3"},
        {"<(8A=https://bugzilla.mozilla.org)(8B=Meeting // Updates)>\n{1:^80 {(k^96:c)(s=9)}\n"
         "  [1(^81^8A)]\n  [2(^81^8B)]\n}",
         2, "Meeting // Updates"},
        {"<(8A=https://bugzilla.mozilla.org)>\n{1:^80 {(k^96:c)(s=9)}\n  [1(^81^8A)]\n}", 1,
         "https://bugzilla.mozilla.org"},
        {"<(8A=[127.0.0.1])(8B=Received from [unix socket] by server)>\n"
         "{1:^80 {(k^96:c)(s=9)}\n  [1(^81^8A)]\n  [2(^81^8B)]\n}",
         2, "Received from [unix socket] by server"},
        {"<(8A=Adjacent Row Test)>\n{7:^80 {(k^97:c)(s=9)7:m } 7 8 9 }[A:^80(^81^8A)]", 0xA,
         "Adjacent Row Test"},
        {"<(8A=standardm$C3$A4$C3$9Fig)>\n{1:^80 {(k^96:c)(s=9)}\n  [1(^81^8A)]\n}", 1,
         "standardm\xC3\xA4\xC3\x9F"
         "ig"},
        {"{1:^80 {(k^96:c)(s=9)}\n  [1(^81=from localhost ([127.0.0.1]\\) by server)]\n}", 1,
         "from localhost ([127.0.0.1]) by server"},
    };
    for (const auto& c : cases) {
        const MorkDocument doc = Parse(dict + c.body);
        EXPECT_EQ(Cell(doc, kMsgs, c.row, "subject"), c.subject) << c.body.toStdString();
    }
}

TEST(MailFolderIndex, CommittedGroupsOverrideAbortedAndUnfinishedOnesDoNot) {
    const QByteArray base = kHead + "<(90=$24label1 work)>\n"
                                    "{1:^80 {(k^96:c)(s=9)} \n"
                                    "  [1(^B3=0)(^88=1)(^83=a@example.com)]\n"
                                    "  [2(^B3=120)(^88=0)(^83=b@example.com)(^B9^90)]}\n";
    const QByteArray committed = "@$${1{@\n[1:^80(^88=5)]\n@$$}1}@\n";
    const QByteArray aborted = "@$${2{@\n[1:^80(^88=8)][2:^80(^B9=junk)]\n@$$}~~}@\n";
    const QByteArray abortedWithId = "@$${3{@\n[2:^80(^88=2)]\n@$$}~~}3}@\n";
    const QByteArray cutRow = "@$${4{@\n{1:^80 -2 }\n@$$}4}@\n";
    const QByteArray unfinished = "@$${5{@\n[1:^80(^88=0)]\n";

    MailFolderIndex index = Load(base + committed + aborted + abortedWithId + unfinished);
    ASSERT_EQ(index.entries().size(), 2u);
    EXPECT_EQ(index.entries()[0].flags, 0x5u);
    EXPECT_EQ(index.entries()[1].flags, 0x0u);
    EXPECT_EQ(index.entries()[1].keywords, "$label1 work");
    EXPECT_EQ(index.entries()[1].messageId, "b@example.com");

    index = Load(base + committed + cutRow);
    ASSERT_EQ(index.entries().size(), 1u);
    EXPECT_EQ(index.entries()[0].messageKey, 1u);
    EXPECT_EQ(index.findAt(120), nullptr);

    // "[-1 ...]" drops the row's cells before setting new ones; "-(...)" drops one cell.
    index = Load(base + "@$${6{@\n[-1:^80(^B3=0)(^83=new@example.com)][2:^80-(^B9=)]\n@$$}6}@\n");
    EXPECT_EQ(index.entries()[0].flags, 0x0u);
    EXPECT_EQ(index.entries()[0].messageId, "new@example.com");
    EXPECT_EQ(index.entries()[1].keywords, "");
    EXPECT_EQ(index.entries()[1].flags, 0x0u);
    EXPECT_EQ(index.entries()[1].messageId, "b@example.com");
}

TEST(MailFolderIndex, OffsetComesFromStoreTokenThenMsgOffsetThenKey) {
    const struct {
        QByteArray cells;
        qint64 offset;
        bool fromKey;
    } cases[] = {
        {"(^B3=4711)", 4711, false},
        {"(^9C=1267)", 0x1267, false},
        {"(^B3=4711)(^9C=1267)", 4711, false},
        {"(^B3=)(^9C=1267)", 0x1267, false},    // empty storeToken counts as unset
        {"(^9C=ffffffffffffffff)", 0x2A, true}, // the client's "no offset"
        {"(^9C=)", 0x2A, true},
        {"", 0x2A, true},
        {"(^B3=12x)", -1, false}, // not a number: unknown, no fallback
        {"(^B3=99999999999999999999)", -1, false},
        {"(^B3=9000000000)", 9000000000, false}, // beyond 32 bits
        {"(^9C=21855c0a0)", 0x21855c0a0, false},
    };
    for (const auto& c : cases) {
        const MailFolderIndex index =
            Load(kHead + "{1:^80 {(k^96:c)(s=9)} [2A(^88=1)" + c.cells + "]}\n");
        ASSERT_EQ(index.entries().size(), 1u) << c.cells.toStdString();
        EXPECT_EQ(index.entries()[0].offset, c.offset) << c.cells.toStdString();
        EXPECT_EQ(index.entries()[0].offsetFromKey, c.fromKey) << c.cells.toStdString();
    }
}

TEST(MailFolderIndex, MissingColumnsReadAsEmpty) {
    // No flags, keywords or message-id column in the whole file.
    const QByteArray bytes = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
                             "< <(a=c)> (80=ns:msg:db:row:scope:msgs:all)(81=subject)"
                             "(B3=storeToken)>\n{1:^80 [5(^81=Hi)(^B3=77)] 6 }\n";
    const MailFolderIndex index = Load(bytes);
    ASSERT_EQ(index.entries().size(), 2u);
    EXPECT_EQ(index.entries()[0].flags, 0u);
    EXPECT_EQ(index.entries()[0].keywords, "");
    EXPECT_EQ(index.entries()[0].messageId, "");
    EXPECT_EQ(index.entries()[0].offset, 77);
    EXPECT_EQ(index.findAt(77), &index.entries()[0]);
    EXPECT_EQ(index.entries()[1].messageKey, 6u);
    EXPECT_EQ(index.findAt(6), &index.entries()[1]);
    EXPECT_EQ(index.findAt(5), nullptr);
}

TEST(MailFolderIndex, DamagedOrForeignFilesAreNotRead) {
    const QByteArray table = "{1:^80 {(k^96:c)(s=9)} [1(^B3=0)(^88=1)(^83=a@b)]}\n";
    const QByteArray cases[] = {
        "",
        "From - Mon Jan  1 00:00:00 2024\n",
        "// <!-- <mdb:mork:z v=\"1.2\"/> -->\n" + table,
        kHead,                                     // no message table
        kHead + "{1:^9F {(k^A0:c)} [1(^88=1)]}\n", // only another table
        kHead + "{1:^80 [1(^88^9A)]}\n",           // undefined value
        kHead + "{1:^80 [1(^88=1)]\n",             // table not closed
        kHead + "{1:^80 [1(^88=1)",                // row not closed
        kHead + "{1:^80 [1(^88=1",                 // value not closed
        kHead + "{1:^80 [1(\x01=1)]}",             // no column
        kHead + "{1:^80 ?}",
        kHead + table + "#",
        kHead + table + "@$${1{@[1:^80(^88=0)]@$$}2}@", // end id differs
        kHead + table + "@$${1{@@$${2{@@$$}2}@@$$}1}@", // nested group
        kHead + table + "@$$}1}@",
    };
    for (const QByteArray& bytes : cases)
        EXPECT_FALSE(LoadError(bytes).isEmpty()) << bytes.toStdString();

    const QString reason = LoadError(kHead + "{1:^80 [1(^88^9A)]}\n");
    EXPECT_TRUE(reason.contains(QStringLiteral("undefined"))) << reason.toStdString();
}

// A copy of the index cut anywhere: never a crash; a cut inside the committed content fails,
// and a cut inside the last group only loses that group.
TEST(MailFolderIndex, TruncatedIndexFailsOrLosesOnlyTheUnfinishedGroup) {
    const QByteArray love = Fixture("love.msf");
    const qsizetype table = love.indexOf("{1:^80");
    const qsizetype tableEnd = love.indexOf("(^B6=0)]}") + 9;
    const qsizetype lastGroup = love.lastIndexOf("@$${C{@");
    const qsizetype lastGroupEnd = love.lastIndexOf("@$$}C}@") + 7;
    ASSERT_GT(table, 0);
    ASSERT_GT(lastGroup, tableEnd);
    for (qsizetype size = 0; size < love.size(); ++size) {
        MailFolderIndex index;
        QString error;
        const bool loaded = index.load(love.first(size), &error);
        if (size > table && size < tableEnd) {
            EXPECT_FALSE(loaded) << size;
        }
        if (size >= lastGroup + 7 && size < lastGroupEnd) {
            EXPECT_TRUE(loaded) << size << error.toStdString();
            EXPECT_EQ(Cell(Parse(love.first(size)), kMsgs, 1, "gloda-id"), "<none>") << size;
        }
    }
}

TEST(MorkParser, CommentsContinuationsAndNamespaces) {
    const QByteArray bytes = "// <!-- <mdb:mork:z v=\"1.4\"/> --> [not a row\n"
                             "/* a /* nested */ comment */ < <(a=c)> (80=ns:msg:db:row:scope:msgs:"
                             "all)(81=subject)>\n"
                             "<(80=value eighty)(81=long \\\r\n  value)>\n" // same ids, value space
                             "{1:^80 \\\n [1(^81^80)] [2(^81^81)] [3(subject=named)] "
                             "[4(^81=a\\\\b$29)]!3 }\n";
    const MorkDocument doc = Parse(bytes);
    EXPECT_EQ(Cell(doc, kMsgs, 1, "subject"), "value eighty");
    EXPECT_EQ(Cell(doc, kMsgs, 2, "subject"), "long   value");
    EXPECT_EQ(Cell(doc, kMsgs, 3, "subject"), "named");
    EXPECT_EQ(Cell(doc, kMsgs, 4, "subject"), "a\\b)");
    const MorkTable* table = doc.table({doc.token(kMsgs), 1});
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows.size(), 4u);
}

TEST(MailFolderIndex, ReadsFromFileAndNamesTheFileInErrors) {
    MailFolderIndex index;
    QString error;
    EXPECT_TRUE(ReadMailFolderIndex(QStringLiteral(PARCELO_SOURCE_DIR "/tests/store/data/love.msf"),
                                    &index, &error));
    EXPECT_EQ(index.entries().size(), 1u);

    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("Inbox.msf"));
    EXPECT_FALSE(ReadMailFolderIndex(missing, &index, &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    ASSERT_TRUE(test::writeFile(missing, "garbage"));
    EXPECT_FALSE(ReadMailFolderIndex(missing, &index, &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_TRUE(index.entries().empty());
}

// The index keeps only its columns of the message rows while it reads; what it gives must be
// what the whole document holds, also where a name is defined only after cells that use its id,
// where a table holds rows of another scope, and where rows are cut from the table and put back.
TEST(MailFolderIndex, KeepsWhatTheWholeDocumentHolds) {
    const QByteArray start = "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n";
    const QByteArray cases[] = {
        // The columns named only in a later group.
        start + "<(90=a@x)(91=tag)>{1:^80 [1(^C3^90)(^C9^91)(^B3=7)] [2(^C3=b@x)]}\n"
                "@$${1{@< <(a=c)> (80=ns:msg:db:row:scope:msgs:all)(C3=message-id)(C9=keywords)"
                "(B3=storeToken)>@$$}1}@\n",
        // Keywords defined after the first rows, as when a folder gets its first tag.
        kHead + "{1:^80 {(k^96:c)(s=9)} [1(^B3=0)(^83=a@x)] [2(^B3=9)(^83=b@x)]}\n"
                "@$${1{@< <(a=c)> (C0=keywords)>[2:^80(^C0=todo)]@$$}1}@\n",
        // A name first used by name, then defined with an id.
        kHead + "{1:^80 [1(tagsx=one)(^83=a@x)]}<(90=two)>\n"
                "@$${2{@< <(a=c)> (D0=tagsx)>[1:^80(^D0^90)]@$$}2}@\n",
        // Rows of another scope in the message table, defined before and after.
        kHead + "< <(a=c)> (A0=other)>[5:^A0(^83=five@x)(^B3=50)]\n"
                "{1:^80 5:^A0 [6(^83=six@x)] 7:^A0 [-1(^83=one@x)] }[7:^A0(^83=seven@x)]\n",
        // Cuts of the table and of rows, and rows put back after them.
        kHead + "{1:^80 [1(^83=a@x)(^B9=k)] [2(^83=b@x)] [3(^83=c@x)]}\n"
                "@$${3{@{1:^80 -1 }{-1:^80 3 2 }[2:^80-(^83=)]@$$}3}@\n"
                "@$${4{@{1:^80 1 -3 3 }@$$}4}@\n",
        // The scope named after its table.
        start + "{1:^80 [1(^83=a@x)]}< <(a=c)> (80=ns:msg:db:row:scope:msgs:all)"
                "(83=message-id)>\n",
    };
    for (const QByteArray& bytes : cases) {
        const MailFolderIndex index = Load(bytes);
        const MorkDocument doc = Parse(bytes);
        const MorkTable* table = doc.table({doc.token(kMsgs), 1});
        ASSERT_NE(table, nullptr) << bytes.toStdString();
        ASSERT_EQ(index.entries().size(), table->rows.size()) << bytes.toStdString();
        for (size_t i = 0; i < table->rows.size(); ++i) {
            const MorkRow* row = doc.row(table->rows[i]);
            const auto text = [&](const char* column) {
                const QByteArray* value =
                    doc.token(column) ? row->value(doc.token(column)) : nullptr;
                return value ? *value : QByteArray();
            };
            const MailFolderIndexEntry& entry = index.entries()[i];
            EXPECT_EQ(entry.messageKey, table->rows[i].id) << bytes.toStdString();
            EXPECT_EQ(entry.messageId, text("message-id")) << bytes.toStdString();
            EXPECT_EQ(entry.keywords, text("keywords")) << bytes.toStdString();
        }
    }
}
