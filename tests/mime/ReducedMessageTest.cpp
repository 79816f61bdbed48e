#include "mime/ReducedMessage.h"

#include "mime/CMimeMessage.h"

#include <gtest/gtest.h>
#include <string>

using namespace parcelo;

namespace {

const std::string kMixed = "From: Carol <carol@example.net>\r\n"
                           "To: sam@example.com\r\n"
                           "Subject: Figures\r\n"
                           "X-Mailer: test\r\n"
                           "MIME-Version: 1.0\r\n"
                           "Content-Type: multipart/mixed; boundary=\"b1\"\r\n"
                           "\r\n"
                           "preamble\r\n"
                           "--b1\r\n"
                           "Content-Type: text/plain; charset=utf-8\r\n"
                           "Content-Transfer-Encoding: quoted-printable\r\n"
                           "\r\n"
                           "caf=C3=A9 =3D 1\r\n"
                           "--b1\r\n"
                           "Content-Type: text/csv; name=\"figures.csv\"\r\n"
                           "Content-Disposition: attachment; filename=\"figures.csv\"\r\n"
                           "\r\n"
                           "q,n\r\nQ1,2\r\n"
                           "--b1\r\n"
                           "Content-Type: image/png\r\n"
                           "Content-Transfer-Encoding: base64\r\n"
                           "Content-Disposition: inline; filename=\"photo.png\"\r\n"
                           "\r\n"
                           "iVBORw0KGgo=\r\n"
                           "--b1--\r\n";

MessageSelection selection(int headers, QStringList headerNames, int attachments,
                           QStringList attachmentNames) {
    return {headers, std::move(headerNames), attachments, std::move(attachmentNames)};
}

} // namespace

TEST(ReducedMessage, SomeHeadersNoAttachments) {
    const std::string reduced =
        ReducedMessageBytes(kMixed, selection(1, {"subject", "FROM", "Date"}, 0, {}));
    EXPECT_EQ(reduced, "MIME-Version: 1.0\r\n"
                       "From: Carol <carol@example.net>\r\n"
                       "Subject: Figures\r\n"
                       "Content-Type: multipart/mixed; boundary=\"=_Parcelo_mixed_0\"\r\n"
                       "\r\n"
                       "--=_Parcelo_mixed_0\r\n"
                       "Content-Type: text/plain; charset=\"utf-8\"\r\n"
                       "Content-Transfer-Encoding: quoted-printable\r\n"
                       "\r\n"
                       "caf=C3=A9 =3D 1\r\n"
                       "--=_Parcelo_mixed_0--\r\n");
}

TEST(ReducedMessage, AllHeadersSomeAttachmentsByExactName) {
    const std::string reduced =
        ReducedMessageBytes(kMixed, selection(2, {}, 1, {"photo.png", "Figures.csv"}));
    CMimeMessage parsed;
    parsed.Load(reduced);
    std::vector<const CMimeBody*> leaves;
    parsed.CollectLeafParts(leaves);
    ASSERT_EQ(leaves.size(), 2u);
    EXPECT_EQ(parsed.GetFieldValue("X-Mailer"), "test");
    EXPECT_EQ(parsed.GetFieldValue("To"), "sam@example.com");
    EXPECT_EQ(leaves[0]->GetContent(), "caf\xC3\xA9 = 1");
    EXPECT_EQ(leaves[1]->GetFieldValue("Content-Type"),
              "application/octet-stream; name=\"photo.png\"");
    EXPECT_EQ(leaves[1]->GetFieldValue("Content-Disposition"),
              "attachment; filename=\"photo.png\"");
    EXPECT_EQ(leaves[1]->GetFieldValue("Content-Description"), "file");
    EXPECT_EQ(leaves[1]->GetFieldValue("Content-Transfer-Encoding"), "base64");
    EXPECT_EQ(leaves[1]->GetContent(), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST(ReducedMessage, StructureFollowsTheSourceType) {
    const std::string alternative =
        "Subject: s\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n"
        "--a\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--a\r\nContent-Type: text/html; charset=us-ascii\r\n\r\n<p>html</p>\r\n--a--\r\n";
    EXPECT_EQ(ReducedMessageBytes(alternative, selection(0, {}, 0, {})),
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/alternative; boundary=\"=_Parcelo_alternative_0\"\r\n"
              "\r\n"
              "--=_Parcelo_alternative_0\r\n"
              "Content-Type: text/plain\r\n\r\nplain\r\n"
              "--=_Parcelo_alternative_0\r\n"
              "Content-Type: text/html; charset=\"us-ascii\"\r\n\r\n<p>html</p>\r\n"
              "--=_Parcelo_alternative_0--\r\n");

    const std::string plain =
        "From sam Sun Jun 16 2013\r\nFrom sam  Sun Jun 16 17:50:14 2013\r\nSubject: "
        "s\r\nContent-Transfer-Encoding: base64\r\n\r\naGk=\r\n";
    const std::string plainReduced =
        "MIME-Version: 1.0\r\nSubject: s\r\nContent-Type: text/plain\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\naGk=\r\n";
    EXPECT_EQ(ReducedMessageBytes(plain, selection(1, {"Subject"}, 0, {})), plainReduced);
    // The stray envelope line before the fields is not carried over as a nameless field.
    EXPECT_EQ(ReducedMessageBytes(plain, selection(2, {}, 0, {})), plainReduced);

    // A named single part is an attachment; without it nothing is left but an empty text.
    const std::string named = "Content-Type: application/pdf; name=a.pdf\r\n\r\n%PDF";
    EXPECT_EQ(ReducedMessageBytes(named, selection(2, {}, 0, {})),
              "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\n");
    const std::string kept = ReducedMessageBytes(named, selection(2, {}, 1, {"a.pdf"}));
    EXPECT_NE(kept.find("Content-Type: application/pdf; name=\"a.pdf\"\r\n"), std::string::npos);
    EXPECT_NE(kept.find("\r\n\r\nJVBERg==\r\n"), std::string::npos);
}

TEST(ReducedMessage, BoundaryAvoidsThePartsContent) {
    const std::string source = "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                               "--b\r\nContent-Type: text/plain\r\n\r\n--=_Parcelo_mixed_0\r\n"
                               "--b--\r\n";
    const std::string reduced = ReducedMessageBytes(source, selection(2, {}, 2, {}));
    EXPECT_NE(reduced.find("boundary=\"=_Parcelo_mixed_1\""), std::string::npos);
}

TEST(ReducedMessage, AttachmentNamesBeyondAsciiAreEncoded) {
    const std::string source =
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: application/pdf; name=\"=?utf-8?Q?Gr=C3=BC=C3=9Fe.pdf?=\"\r\n\r\n%PDF"
        "\r\n--b--\r\n";
    const std::string reduced =
        ReducedMessageBytes(source, selection(2, {}, 1, {"Gr\u00fc\u00dfe.pdf"}));
    EXPECT_NE(
        reduced.find("Content-Type: application/pdf; name=\"=?utf-8?B?R3LDvMOfZS5wZGY=?=\"\r\n"
                     "Content-Disposition: attachment; filename*=utf-8''Gr%C3%BC%C3%9Fe.pdf\r\n"),
        std::string::npos)
        << reduced;
}
