// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeMessage.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

std::string Stored(const CMimeBody& body) {
    std::string out;
    EXPECT_GT(body.Store(out), 0);
    EXPECT_GE(body.GetLength(), out.size());
    return out;
}

const std::string kMultipart = "Content-Type: multipart/mixed; boundary=\"XX\"\r\n"
                               "\r\n"
                               "preamble\r\n"
                               "--XX\r\n"
                               "Content-Type: text/plain\r\n"
                               "\r\n"
                               "part one\r\n"
                               "--XX\r\n"
                               "Content-Type: text/plain\r\n"
                               "Content-Transfer-Encoding: base64\r\n"
                               "\r\n"
                               "cGFydCB0d28=\r\n"
                               "--XX--\r\n"
                               "epilogue\r\n";

} // namespace

TEST(Body, ContentIsDecodedButStoredAsItCameUntilItChanges) {
    const std::string source =
        "Content-Transfer-Encoding: quoted-printable\r\n\r\ncaf=E9 =\r\nau lait";
    CMimeMessage message;
    EXPECT_EQ(message.Load(source), static_cast<std::ptrdiff_t>(source.size()));
    EXPECT_EQ(Stored(message), source);
    std::string text;
    EXPECT_EQ(message.GetText(text), 12u);
    EXPECT_EQ(text, "caf\xE9 au lait");
    EXPECT_EQ(Stored(message), source);

    // A new encoding encodes the decoded content again; new text is encoded as well.
    message.SetTransferEncoding(QStringLiteral("base64"));
    EXPECT_EQ(Stored(message), "Content-Transfer-Encoding: base64\r\n\r\nY2Fm6SBhdSBsYWl0\r\n");
    message.SetTransferEncoding(QStringLiteral("quoted-printable"));
    EXPECT_EQ(Stored(message), source);
    message.SetText(QStringLiteral("a=b"));
    EXPECT_EQ(Stored(message), "Content-Transfer-Encoding: quoted-printable\r\n\r\na=3Db");

    // Text after base64 padding is no part of the data but stays in the stored form.
    const std::string padded = "Content-Transfer-Encoding: base64\r\n\r\nYQ==\r\ntrailer\r\n";
    CMimeMessage base64;
    base64.Load(padded);
    EXPECT_EQ(base64.GetContent(), "a");
    EXPECT_EQ(Stored(base64), padded);
}

TEST(Body, MultipartWithPreamble) {
    CMimeMessage message;
    EXPECT_EQ(message.Load(kMultipart), static_cast<std::ptrdiff_t>(kMultipart.size() - 10));
    EXPECT_EQ(message.GetMediaType(), MEDIA_MULTIPART);
    EXPECT_EQ(message.GetBoundary(), "XX");
    EXPECT_EQ(message.GetContent(), "preamble\r\n");
    ASSERT_EQ(message.Parts().size(), 2u);
    EXPECT_EQ(message.Parts()[0]->GetContent(), "part one");
    EXPECT_EQ(message.Parts()[1]->GetContent(), "part two");
    // The epilogue is not kept; the parts are stored as they came.
    EXPECT_EQ(Stored(message), kMultipart.substr(0, kMultipart.size() - 10));
}

TEST(Body, MultipartWithoutPreambleStoresAsItWas) {
    const std::string source = "Content-Type: multipart/mixed; boundary=XX\r\n\r\n"
                               "--XX\r\nA: 1\r\n\r\nbody\r\n--XX--\r\n";
    CMimeMessage message;
    message.Load(source);
    EXPECT_EQ(message.GetContent(), "");
    ASSERT_EQ(message.Parts().size(), 1u);
    EXPECT_EQ(Stored(message), source);
}

TEST(Body, MissingClosingDelimiterTakesTheRestIntoTheLastPart) {
    const std::string source = "Content-Type: multipart/mixed; boundary=XX\r\n\r\n"
                               "--XX\r\n\r\nfirst\r\n--XX\r\nA: 1\r\n\r\nlast part\r\nto the end";
    CMimeMessage message;
    EXPECT_EQ(message.Load(source), static_cast<std::ptrdiff_t>(source.size()));
    ASSERT_EQ(message.Parts().size(), 2u);
    EXPECT_EQ(message.Parts()[0]->GetContent(), "first");
    EXPECT_EQ(message.Parts()[1]->GetContent(), "last part\r\nto the end");
}

TEST(Body, NestedPartsAndLeafParts) {
    const std::string source = "Content-Type: multipart/mixed; boundary=outer\r\n\r\n"
                               "--outer\r\n"
                               "Content-Type: multipart/alternative; boundary=inner\r\n\r\n"
                               "--inner\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
                               "--inner\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n"
                               "--inner--\r\n"
                               "--outer\r\nContent-Type: image/png; name=a.png\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\niVBORw==\r\n"
                               "--outer--\r\n";
    CMimeMessage message;
    message.Load(source);
    ASSERT_EQ(message.Parts().size(), 2u);
    EXPECT_EQ(message.Parts()[0]->Parts().size(), 2u);
    std::vector<CMimeBody*> leaves;
    EXPECT_EQ(message.CollectLeafParts(leaves), 3);
    ASSERT_EQ(leaves.size(), 3u);
    EXPECT_EQ(leaves[0]->GetContent(), "plain");
    EXPECT_EQ(leaves[1]->GetContent(), "<p>html</p>");
    EXPECT_EQ(leaves[2]->GetName(), "a.png");
    EXPECT_EQ(leaves[2]->GetContent(), std::string("\x89PNG", 4));
    CMimeMessage again;
    again.Load(Stored(message));
    std::vector<CMimeBody*> leavesAgain;
    EXPECT_EQ(again.CollectLeafParts(leavesAgain), 3);
    EXPECT_EQ(leavesAgain[2]->GetContent(), leaves[2]->GetContent());
}

TEST(Body, MultipartKeepsItsBytesWhateverItsTransferEncodingSays) {
    const std::string source = "Content-Type: multipart/mixed; boundary=XX\r\n"
                               "Content-Transfer-Encoding: base64\r\n\r\n"
                               "not base64 at all\r\n--XX\r\n\r\nkept\r\n--XX--\r\n";
    CMimeMessage message;
    message.Load(source);
    EXPECT_EQ(message.GetContent(), "not base64 at all\r\n");
    ASSERT_EQ(message.Parts().size(), 1u);
    EXPECT_EQ(Stored(message), source);
}

TEST(Body, EmptyBoundaryKeepsTheBodyAsContent) {
    const std::string source = "Content-Type: multipart/mixed\r\n\r\n--XX\r\n\r\nbody";
    CMimeMessage message;
    message.Load(source);
    EXPECT_TRUE(message.Parts().empty());
    EXPECT_EQ(message.GetContent(), "--XX\r\n\r\nbody");
    message.AddPart();
    std::string out;
    EXPECT_EQ(message.Store(out), -1);
}

TEST(Body, DeepNestingIsBoundedAndHeaderWithoutBlankLineLoadsNoContent) {
    std::string source;
    for (int i = 0; i < 500; ++i) {
        const std::string b = "b_" + std::to_string(i) + "_";
        source += "Content-Type: multipart/mixed; boundary=" + b + "\r\n\r\n--" + b + "\r\n";
    }
    CMimeMessage message;
    message.Load(source);
    int depth = 0;
    for (const CMimeBody* body = &message; !body->Parts().empty(); body = body->Parts()[0].get())
        ++depth;
    EXPECT_GT(depth, 10);
    EXPECT_LE(depth, 64);

    CMimeMessage broken;
    const std::string header = "Subject: x\r\nFrom: y";
    EXPECT_GT(broken.Load(header), 0);
    EXPECT_EQ(broken.GetFieldValue("From"), "y");
    EXPECT_EQ(broken.GetContent(), "");
}

TEST(Body, MediaTypes) {
    struct Case {
        const char* contentType;
        MimeMediaType type;
    } cases[] = {{nullptr, MEDIA_TEXT},
                 {"", MEDIA_TEXT},
                 {"TEXT/html", MEDIA_TEXT},
                 {"image/png", MEDIA_IMAGE},
                 {"audio/basic", MEDIA_AUDIO},
                 {"video/mpeg", MEDIA_VIDEO},
                 {"application/pdf", MEDIA_APPLICATION},
                 {"Multipart/mixed", MEDIA_MULTIPART},
                 {"message/rfc822", MEDIA_MESSAGE},
                 {"model/x", MEDIA_UNKNOWN}};
    for (const auto& c : cases) {
        CMimeBody body;
        if (c.contentType)
            body.SetField("Content-Type", c.contentType);
        EXPECT_EQ(body.GetMediaType(), c.type) << (c.contentType ? c.contentType : "none");
    }
}

TEST(Body, ContentTypeSetters) {
    CMimeBody body;
    body.SetCharset(QStringLiteral("utf-8"));
    EXPECT_EQ(body.GetFieldValue("Content-Type"), "text/plain; charset=\"utf-8\"");
    EXPECT_EQ(body.FindField("Content-Type")->GetCharset(), "");
    body.SetCharset(QStringLiteral("iso-8859-1"));
    EXPECT_EQ(body.GetCharset(), "iso-8859-1");
    body.SetName(QStringLiteral("x.txt"));
    EXPECT_EQ(body.GetFieldValue("Content-Type"),
              "text/plain; charset=\"iso-8859-1\"; name=\"x.txt\"");

    struct Case {
        const char* name;
        const char* value;
    } cases[] = {{"REPORT.PDF", "application/pdf; name=\"REPORT.PDF\""},
                 {"photo.jpg", "image/jpeg; name=\"photo.jpg\""},
                 {"song.mp3", "audio/basic; name=\"song.mp3\""},
                 {"noext", "application/octet-stream; name=\"noext\""},
                 {"a.unknown", "application/octet-stream; name=\"a.unknown\""}};
    for (const auto& c : cases) {
        CMimeBody part;
        part.SetName(QString::fromUtf8(c.name));
        EXPECT_EQ(part.GetFieldValue("Content-Type"), c.value);
    }
    body.SetTransferEncoding(QStringLiteral("base64"));
    EXPECT_EQ(body.GetFieldValue("Content-Transfer-Encoding"), "base64");
    EXPECT_EQ(body.SetText(QStringLiteral("h\u00e9")), 3);
    EXPECT_EQ(Stored(body), "Content-Type: text/plain; charset=\"iso-8859-1\"; name=\"x.txt\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n\r\naMOp\r\n");
}

TEST(Body, BoundariesAndTheirCounter) {
    const QRegularExpression pattern(
        QStringLiteral("^__=_MIME_BOUNDARY_(\\d{3})_\\d{6}\\.\\d{6}$"));
    std::vector<int> counters;
    for (int i = 0; i < 10; ++i) {
        CMimeBody body;
        body.SetField("Content-Type", "text/plain; charset=x");
        body.SetBoundary();
        EXPECT_EQ(body.GetFieldValue("Content-Type").rfind("multipart/mixed; boundary=\"", 0), 0u);
        const auto match = pattern.match(QString::fromStdString(body.GetBoundary()));
        ASSERT_TRUE(match.hasMatch()) << body.GetBoundary();
        counters.push_back(match.captured(1).toInt());
    }
    for (std::size_t i = 1; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], counters[i - 1] % 9 + 1);
    EXPECT_EQ(counters[9], counters[0]);

    CMimeBody given;
    given.SetField("Content-Type", "multipart/related; type=x");
    given.SetBoundary(std::string("b1"));
    EXPECT_EQ(given.GetFieldValue("Content-Type"), "multipart/related; type=x; boundary=\"b1\"");
    CMimeBody none;
    none.SetBoundary(std::string("b2"));
    EXPECT_EQ(none.GetFieldValue("Content-Type"), "multipart/mixed; boundary=\"b2\"");
}

TEST(Body, PartsAreAddedRemovedAndStored) {
    CMimeBody body;
    body.SetBoundary(std::string("B"));
    CMimeBody* second = body.AddPart("text");
    second->SetText(QStringLiteral("two"));
    CMimeBody* first = body.AddPart("image", second);
    first->SetText(QStringLiteral("one"));
    CMimeBody* extra = body.AddPart({}, reinterpret_cast<CMimeBody*>(&body));
    ASSERT_EQ(body.Parts().size(), 3u);
    EXPECT_EQ(body.Parts()[0].get(), first);
    EXPECT_EQ(body.Parts()[2].get(), extra);
    body.RemovePart(extra);
    EXPECT_EQ(Stored(body), "Content-Type: multipart/mixed; boundary=\"B\"\r\n"
                            "\r\n--B\r\n\r\none\r\n--B\r\n\r\ntwo\r\n--B--\r\n");
    body.RemoveAllParts();
    EXPECT_TRUE(body.Parts().empty());
    body.Clear();
    EXPECT_TRUE(body.Fields().empty());
}

TEST(Body, LoadFromFile) {
    QTemporaryDir dir;
    CMimeMessage message;
    EXPECT_EQ(message.LoadFromFile(dir.filePath(QStringLiteral("missing.eml"))), -2);
    QFile file(dir.filePath(QStringLiteral("m.eml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Date: Mon, 5 Jan 2009 10:00:00 +0000\r\n\r\nbody\r\n");
    file.close();
    EXPECT_EQ(message.LoadFromFile(file.fileName()), 0);
    EXPECT_EQ(message.GetFieldValue("date"), "Mon, 5 Jan 2009 10:00:00 +0000");
    EXPECT_EQ(message.GetContent(), "body\r\n");
}
