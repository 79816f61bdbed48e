// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/ReducedMessage.h"

#include "mime/MessageConversion.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace parcelo;

namespace {

// Fixtures are written with "\n"; messages reach the export with CR LF.
std::string Crlf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

MessageSelection Selection(int headers, QStringList headerNames, int attachments,
                           QStringList attachmentNames) {
    return {headers, std::move(headerNames), attachments, std::move(attachmentNames)};
}

// The message file the export writes for a source under a selection.
std::string Reduced(const std::string& source, const MessageSelection& selection) {
    std::string file;
    EXPECT_TRUE(MessageFileBytes(*ParseMessageSource(source), file));
    ReduceMessageFile(file, selection);
    return file;
}

// The message file of a source whose header already names its MIME version and type, with the
// given pieces of it taken out (each must stand in it exactly once).
std::string WholeFileWithout(const std::string& source, const std::vector<std::string>& cuts) {
    std::string file = source + "\r\n\r\n";
    for (const std::string& cut : cuts) {
        const std::size_t at = file.find(cut);
        EXPECT_NE(at, std::string::npos) << cut;
        EXPECT_EQ(file.find(cut, at + 1), std::string::npos) << cut;
        if (at != std::string::npos)
            file.erase(at, cut.size());
    }
    return file;
}

const std::string kPatchWithListFooter = Crlf(R"(From: dev@example.org
Subject: [PATCH] fix the count
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="===b=="

--===b==
Content-Type: text/plain; charset="us-ascii"
Content-Transfer-Encoding: 7bit

The count was off by one.

diff --git a/count.c b/count.c
-	return n;
+	return n + 1;
--===b==
Content-Type: text/plain; charset="us-ascii"
Content-Disposition: inline

_______________________________________________
dev mailing list
--===b==--
)");

const std::string kListFooter = Crlf(R"(--===b==
Content-Type: text/plain; charset="us-ascii"
Content-Disposition: inline

_______________________________________________
dev mailing list
)");

const std::string kBareTextType = Crlf(R"(From: sender@example.invalid
Subject: Message with content-type text
MIME-Version: 1.0
Content-Type: text

Try a quick filter for waldo in the message body.
)");

const std::string kOnePartSigned = Crlf(R"(From: alice@example.com
Subject: opaque-signed
MIME-Version: 1.0
Content-Type: application/pkcs7-mime; name=smime.p7m;
    smime-type=signed-data
Content-Transfer-Encoding: base64
Content-Disposition: attachment; filename=smime.p7m

MIAGCSqGSIb3DQEHAqCAMIACAQExDzANBglghkgBZQMEAgEFADCABgkqhkiG9w0B
)");

const std::string kSignedWithAttachment = Crlf(R"(From: alice@example.com
Subject: signed
MIME-Version: 1.0
Content-Type: multipart/signed; micalg=pgp-sha256;
 protocol="application/pgp-signature"; boundary="s1"

--s1
Content-Type: multipart/mixed; boundary="m1"

--m1
Content-Type: text/plain

Signed text.
--m1
Content-Type: application/pdf; name="a.pdf"
Content-Disposition: attachment; filename="a.pdf"

%PDF-1.4
--m1--

--s1
Content-Type: application/pgp-signature; name="signature.asc"

-----BEGIN PGP SIGNATURE-----
-----END PGP SIGNATURE-----
--s1--
)");

// Parts without a name, an attached message, and a file name in RFC 2231 pieces.
const std::string kUnnamedParts = Crlf(R"(From: bob@example.com
To: ann@example.com
Subject: Planning
X-Mailer: test
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="out"

--out
Content-Type: multipart/alternative; boundary="alt"

--alt
Content-Type: text/plain

See you there.
--alt
Content-Type: text/calendar; method=REQUEST

BEGIN:VCALENDAR
END:VCALENDAR
--alt--

--out
Content-Type: message/rfc822

Subject: Minutes
From: carol@example.com

The minutes.
--out
Content-Type: image/png
Content-Transfer-Encoding: base64
Content-ID: <chart@example.com>

iVBORw0KGgo=
--out
Content-Type: application/pdf
Content-Transfer-Encoding: base64
Content-Disposition: attachment;
 filename*0*=utf-8''Gr%C3%BC;
 filename*1*=%C3%9Fe.pdf

JVBERg==
--out
Content-Type: text/csv; name="figures.csv"

q,n
--out--
)");

const std::string kPdfPart = Crlf(R"(--out
Content-Type: application/pdf
Content-Transfer-Encoding: base64
Content-Disposition: attachment;
 filename*0*=utf-8''Gr%C3%BC;
 filename*1*=%C3%9Fe.pdf

JVBERg==
)");
const std::string kMinutesPart = Crlf(R"(--out
Content-Type: message/rfc822

Subject: Minutes
From: carol@example.com

The minutes.
)");
const std::string kChartPart = Crlf(R"(--out
Content-Type: image/png
Content-Transfer-Encoding: base64
Content-ID: <chart@example.com>

iVBORw0KGgo=
)");
const std::string kCsvPart = Crlf(R"(--out
Content-Type: text/csv; name="figures.csv"

q,n
)");

const std::string kRelatedHtml = Crlf(R"(Subject: Logo
MIME-Version: 1.0
Content-Type: multipart/related; boundary="rel"

--rel
Content-Type: text/html; charset=utf-8
Content-Transfer-Encoding: quoted-printable

<p>Our logo: <img src=3D"cid:logo@example.com"></p>
--rel
Content-Type: image/png; name="logo.png"
Content-ID: <logo@example.com>
Content-Transfer-Encoding: base64

iVBORw0KGgo=
--rel
Content-Type: application/pdf; name="unused.pdf"
Content-ID: <unused@example.com>

%PDF
--rel--
)");

const std::string kUnusedPart = Crlf(R"(--rel
Content-Type: application/pdf; name="unused.pdf"
Content-ID: <unused@example.com>

%PDF
)");

// The inner boundary starts with the outer one: only whole delimiter lines count.
const std::string kPrefixBoundaries = Crlf(R"(Subject: Prefix
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="b"

--b
Content-Type: multipart/alternative; boundary="b-alt"

--b-alt
Content-Type: text/plain

plain
--b-alt
Content-Type: text/html

<p>html</p>
--b-alt--
--b
Content-Type: application/zip; name="a.zip"

PK
--b--
)");

// No closing delimiter: the last part runs to the end.
const std::string kUnclosed = Crlf(R"(Subject: Unclosed
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="u"

--u
Content-Type: text/plain

text
--u
Content-Type: application/zip; name="a.zip"

PK)");

const std::string kNestedAttachments = Crlf(R"(Subject: Nested
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="o"

--o
Content-Type: text/plain

text
--o
Content-Type: multipart/mixed; boundary="i"

--i
Content-Type: application/zip; name="a.zip"

PK
--i
Content-Type: application/zip; name="b.zip"

PK
--i--
--o--
)");

// Plain and HTML side by side, as some mailers send them, then a list footer and a file.
const std::string kTwoFormsInMixed = Crlf(R"(Subject: Two forms
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="t"

--t
Content-Type: text/plain

Hello.
--t
Content-Type: text/html

<p>Hello.</p>
--t
Content-Type: text/plain

-- list footer
--t
Content-Type: application/zip; name="a.zip"

PK
--t--
)");

// The first part, the root when no start is named, is an image the later HTML refers to by its
// location.
const std::string kRelatedImageFirst = Crlf(R"(Subject: Page
MIME-Version: 1.0
Content-Type: multipart/related; type="text/html"; boundary="p"

--p
Content-Type: image/png
Content-Location: image1

iVBORw0KGgo=
--p
Content-Type: text/html

<img src="image1">
--p
Content-Type: image/gif
Content-Location: unused

R0lG
--p--
)");

// A part that is only a header: the next delimiter's line end ends its field.
const std::string kHeaderOnlyPart = Crlf(R"(Subject: Header only
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="h"

--h
Content-Type: image/gif
--h
Content-Type: text/plain

text
--h--
)");

// Delimiter lines right after each other open no part between them.
const std::string kAdjacentDelimiters = Crlf(R"(Subject: Adjacent
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="x"

--x
--x
Content-Type: text/plain

text
--x
--x
Content-Type: application/zip; name="a.zip"

PK
--x--
)");

// Neither multipart is closed: the outer delimiter ends the inner one.
const std::string kNestedUnclosed = Crlf(R"(Subject: Unclosed twice
MIME-Version: 1.0
Content-Type: multipart/mixed; boundary="1"

--1
Content-Type: multipart/mixed; boundary="2"

--2
Content-Type: text/plain

one
--2
Content-Type: application/zip; name="a.zip"

PK
--1
Content-Type: application/zip; name="b.zip"

PK
)");

const std::string kForwardedWhole = Crlf(R"(Subject: Fwd
MIME-Version: 1.0
Content-Type: message/rfc822

Subject: Inner
From: x@example.com

The forwarded text.
)");

struct CutCase {
    const char* what;
    const std::string& source;
    MessageSelection selection;
    std::vector<std::string> cuts;
};

} // namespace

TEST(ReducedMessage, LeavesOutWholePartsAndKeepsEveryOtherByte) {
    const CutCase cases[] = {
        {"the first text part is the body; a later inline text part is an attachment",
         kPatchWithListFooter,
         Selection(2, {}, 0, {}),
         {kListFooter}},
        {"a type without a subtype is plain text, and the body",
         kBareTextType,
         Selection(2, {}, 0, {}),
         {}},
        {"a one-part signed message is its body, however it is disposed",
         kOnePartSigned,
         Selection(2, {}, 0, {}),
         {}},
        {"nothing inside a signed entity is cut",
         kSignedWithAttachment,
         Selection(2, {}, 0, {}),
         {}},
        {"under All every part stays, named or not", kUnnamedParts, Selection(2, {}, 2, {}), {}},
        {"under None the parts after the body go, named or not",
         kUnnamedParts,
         Selection(2, {}, 0, {}),
         {kMinutesPart, kChartPart, kPdfPart, kCsvPart}},
        {"an RFC 2231 file name and an attached message's Subject are names",
         kUnnamedParts,
         Selection(2, {}, 1, {"Gr\u00fc\u00dfe.pdf", "Minutes.eml"}),
         {kChartPart, kCsvPart}},
        {"a name parameter names a part; names match exactly",
         kUnnamedParts,
         Selection(2, {}, 1, {"figures.csv", "minutes.eml"}),
         {kMinutesPart, kChartPart, kPdfPart}},
        {"an image the HTML refers to is body; one it does not is an attachment",
         kRelatedHtml,
         Selection(2, {}, 0, {}),
         {kUnusedPart}},
        {"a delimiter is a whole line",
         kPrefixBoundaries,
         Selection(2, {}, 0, {}),
         {Crlf("--b\nContent-Type: application/zip; name=\"a.zip\"\n\nPK\n")}},
        {"a last part without a closing delimiter goes to the end; the text before it keeps its "
         "line end",
         kUnclosed,
         Selection(2, {}, 0, {}),
         {Crlf("--u\nContent-Type: application/zip; name=\"a.zip\"\n\nPK\n\n")}},
        {"a multipart left with no part goes whole",
         kNestedAttachments,
         Selection(2, {}, 0, {}),
         {Crlf("--o\nContent-Type: multipart/mixed; boundary=\"i\"\n\n--i\n"
               "Content-Type: application/zip; name=\"a.zip\"\n\nPK\n--i\n"
               "Content-Type: application/zip; name=\"b.zip\"\n\nPK\n--i--\n")}},
        {"a plain and an HTML text side by side are one body in two forms; a second plain is not",
         kTwoFormsInMixed,
         Selection(2, {}, 0, {}),
         {Crlf("--t\nContent-Type: text/plain\n\n-- list footer\n"),
          Crlf("--t\nContent-Type: application/zip; name=\"a.zip\"\n\nPK\n")}},
        {"a related body keeps its texts and what they refer to, whichever part is the root",
         kRelatedImageFirst,
         Selection(2, {}, 0, {}),
         {Crlf("--p\nContent-Type: image/gif\nContent-Location: unused\n\nR0lG\n")}},
        {"a part that is only a header is read by that header",
         kHeaderOnlyPart,
         Selection(2, {}, 0, {}),
         {Crlf("--h\nContent-Type: image/gif\n")}},
        {"a cut takes the delimiter lines before its part along",
         kAdjacentDelimiters,
         Selection(2, {}, 0, {}),
         {Crlf("--x\n--x\nContent-Type: application/zip; name=\"a.zip\"\n\nPK\n")}},
        {"cuts at the ends of unclosed multiparts leave the text its one line end",
         kNestedUnclosed,
         Selection(2, {}, 0, {}),
         {Crlf("--2\nContent-Type: application/zip; name=\"a.zip\"\n\nPK\n--1\n"
               "Content-Type: application/zip; name=\"b.zip\"\n\nPK\n\n\n")}},
        {"a message that is another message shows it",
         kForwardedWhole,
         Selection(0, {}, 0, {}),
         {"Subject: Fwd\r\n"}},
    };
    for (const CutCase& c : cases)
        EXPECT_EQ(Reduced(c.source, c.selection), WholeFileWithout(c.source, c.cuts)) << c.what;
}

TEST(ReducedMessage, HeaderChoiceKeepsTheNamedFieldsAndWhatDescribesTheContent) {
    const std::string source = Crlf(R"(Received: from a by b
From: Carol <carol@example.net>
To: sam@example.com
Subject: Figures
X-Mailer: test
MIME-Version: 1.0
Content-Type: text/plain; charset=utf-8
Content-Transfer-Encoding: quoted-printable

caf=C3=A9
)");
    EXPECT_EQ(Reduced(source, Selection(1, {"subject", "FROM", "Date"}, 2, {})),
              WholeFileWithout(source, {"Received: from a by b\r\n", "To: sam@example.com\r\n",
                                        "X-Mailer: test\r\n"}));
    EXPECT_EQ(
        Reduced(source, Selection(0, {"Subject"}, 0, {})),
        WholeFileWithout(source, {"Received: from a by b\r\n",
                                  "From: Carol <carol@example.net>\r\n", "To: sam@example.com\r\n",
                                  "Subject: Figures\r\n", "X-Mailer: test\r\n"}));
}

TEST(ReducedMessage, HeaderChoiceEndsAtALineThatIsNoField) {
    // The header ends at such a line, so the fields after it are the body's first lines: the
    // file names its MIME version and type up front, and the line and all after it stay.
    const std::string source = Crlf(R"(From: a@example.com
Subject: s
X Bad Name: v
To: b@example.com
MIME-Version: 1.0
Content-Type: text/plain

body
)");
    EXPECT_EQ(Reduced(source, Selection(1, {"Subject"}, 0, {})),
              "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n" +
                  WholeFileWithout(source, {"From: a@example.com\r\n"}));
    // A stray envelope line is a line without a name, which no list names.
    EXPECT_EQ(Reduced("From sam Sun Jun 16 2013\r\nSubject: s\r\n\r\nbody\r\n",
                      Selection(1, {"Subject"}, 0, {})),
              "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nSubject: "
              "s\r\n\r\nbody\r\n\r\n\r\n");
}

TEST(ReducedMessage, AMessageThatIsOneAttachmentKeepsItsHeader) {
    const std::string source = Crlf(R"(From: a@example.com
Subject: scan
MIME-Version: 1.0
Content-Type: application/pdf; name="scan.pdf"
Content-Transfer-Encoding: base64

JVBERg==
)");
    // The Content- fields went with what they described.
    EXPECT_EQ(Reduced(source, Selection(2, {}, 0, {})),
              Crlf("From: a@example.com\nSubject: scan\nMIME-Version: 1.0\n\n"));
    EXPECT_EQ(Reduced(source, Selection(2, {}, 1, {"scan.pdf"})), WholeFileWithout(source, {}));
}
