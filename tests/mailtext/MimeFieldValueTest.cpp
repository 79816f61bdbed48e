// SPDX-License-Identifier: GPL-3.0-or-later
#include "mailtext/MimeFieldValue.h"

#include <gtest/gtest.h>

using namespace parcelo;

TEST(MimeFieldValue, ReadsTokensAndParametersAsMailProgramsWriteThem) {
    struct Case {
        const char* raw;
        const char* token;
        const char* parameter;
        const char* value;
    };
    const Case cases[] = {
        {"attachment;\r\n filename*0*=utf-8''Gr%C3%BC;\r\n filename*1*=%C3%9Fe.pdf", "attachment",
         "filename", "Gr\u00fc\u00dfe.pdf"},
        {"attachment; filename*=iso-8859-1'de'Gr%FC%DFe.pdf", "attachment", "FileName",
         "Gr\u00fc\u00dfe.pdf"},
        {"application/pdf; name*1=\"b.pdf\"; name*0=\"a\"", "application/pdf", "name", "ab.pdf"},
        {"attachment; filename=\"old.txt\"; filename*=utf-8''new.txt", "attachment", "filename",
         "new.txt"},
        {"Text/Plain (a comment; x=y) ; charset = \"us-ascii\" (more)", "text/plain", "charset",
         "us-ascii"},
        {"application/pdf; name=\"=?utf-8?Q?Gr=C3=BC=C3=9Fe.pdf?=\"", "application/pdf", "name",
         "Gr\u00fc\u00dfe.pdf"},
        {"application/pdf; name=\"a \\\"quoted\\\" name.pdf\"", "application/pdf", "name",
         "a \"quoted\" name.pdf"},
        {"application/octet-stream; name=my file.bin ; x=1", "application/octet-stream", "name",
         "my file.bin"},
        {"image/png; name=\"unclosed", "image/png", "name", "unclosed"},
        {"text/plain; ; =x; charset", "text/plain", "charset", ""},
        {"", "", "name", ""},
    };
    for (const Case& c : cases) {
        const MimeFieldValue value(c.raw);
        EXPECT_EQ(value.token(), c.token) << c.raw;
        EXPECT_EQ(value.parameter(c.parameter), c.value) << c.raw;
    }
}

TEST(MimeFieldValue, ABoundaryKeepsItsBytes) {
    // Nothing that looks like an encoded word or 8-bit text is decoded; a folded value is
    // unfolded, as readers compare the boundary with a delimiter line.
    EXPECT_EQ(MimeFieldValue("multipart/mixed; boundary=\"=?x?q?y?=\"").rawParameter("boundary"),
              "=?x?q?y?=");
    EXPECT_EQ(MimeFieldValue("multipart/mixed; boundary=\"b\xE9\"").rawParameter("Boundary"),
              "b\xE9");
    EXPECT_EQ(
        MimeFieldValue("multipart/mixed; boundary=\"a_ \r\n      b\"").rawParameter("boundary"),
        "a_       b");
}
