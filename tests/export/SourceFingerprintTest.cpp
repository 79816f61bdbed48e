// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/SourceFingerprint.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace parcelo;

namespace {

// Qt's own SHA-256 of the bytes, which the fingerprint must equal.
SourceFingerprint QtSha256(const std::string& bytes) {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                 QCryptographicHash::Sha256);
    SourceFingerprint out{};
    std::copy(digest.begin(), digest.end(), out.begin());
    return out;
}

SourceFingerprint Fingerprint(const std::string& source) {
    Sha256 hash;
    return FingerprintMessageSource(source, hash);
}

const std::string kBody = "\r\nStatus: RO\r\nX-Mozilla-Status: 0001\r\n";

} // namespace

TEST(SourceFingerprintTest, TheStoresStateFieldsAreLeftOutOfTheMessagesOwnHeaderOnly) {
    struct Case {
        const char* label;
        std::string source;
        std::string hashed; // what the fingerprint is the SHA-256 of
    };
    const Case cases[] = {
        {"no state", "From: a@example.com\r\nSubject: x\r\n" + kBody,
         "From: a@example.com\r\nSubject: x\r\n" + kBody},
        {"the mail client's block first",
         "X-Mozilla-Status: 0001\r\nX-Mozilla-Status2: 00000000\r\nX-Mozilla-Keys: $label1     "
         "\r\nFrom: a@example.com\r\nSubject: x\r\n" +
             kBody,
         "From: a@example.com\r\nSubject: x\r\n" + kBody},
        {"mbox readers and servers, any letter case, folded",
         "Return-Path: <a@example.com>\r\nstatus: RO\r\nFrom: a@example.com\r\nX-Status: F\r\n"
         "X-Keywords: $Forwarded\r\n NonJunk\r\nX-UID: 7\r\nX-IMAPbase: 1 8\r\nSubject: x\r\n" +
             kBody,
         "Return-Path: <a@example.com>\r\nFrom: a@example.com\r\nSubject: x\r\n" + kBody},
        {"the last field of the header", "Subject: x\r\nStatus : O\r\n\tcontinued\r\n" + kBody,
         "Subject: x\r\n" + kBody},
        {"names that only begin like them stay",
         "Status-Report: x\r\nX-Status-Line: y\r\nX-Mozilla-Status3: z\r\n" + kBody,
         "Status-Report: x\r\nX-Status-Line: y\r\nX-Mozilla-Status3: z\r\n" + kBody},
        {"a header without a body", "Subject: x\r\nStatus: RO\r\n", "Subject: x\r\n"},
        {"LF line ends", "Subject: x\nStatus: RO\n\nStatus: RO\n", "Subject: x\n\nStatus: RO\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Fingerprint(c.source), QtSha256(c.hashed));
    }
}

TEST(SourceFingerprintTest, OneHashServesMessageAfterMessage) {
    Sha256 hash;
    const std::string first = "Subject: one\r\n\r\nbody\r\n";
    const std::string second = "Subject: two\r\nStatus: R\r\n\r\nbody\r\n";
    EXPECT_EQ(FingerprintMessageSource(first, hash), QtSha256(first));
    EXPECT_EQ(FingerprintMessageSource(second, hash), QtSha256("Subject: two\r\n\r\nbody\r\n"));
    EXPECT_NE(FingerprintMessageSource(first, hash), FingerprintMessageSource(second, hash));
}
