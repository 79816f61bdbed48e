// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/CMimeHeader.h"
#include "store/header/MessageHeader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace parcelo;
using namespace std::string_literals;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string Unfolded(std::string value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\n' || (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n'))
            continue;
        out.push_back(value[i]);
    }
    const std::size_t first = out.find_first_not_of(" \t");
    const std::size_t last = out.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

Fields StoreFields(const std::string& source) {
    Fields fields;
    const MessageHeader header(QByteArray::fromStdString(source));
    for (const MessageHeader::Field& field : header.fields())
        fields.emplace_back(field.name.toStdString(), field.value.toStdString());
    return fields;
}

Fields FileFields(const std::string& source, std::string* body) {
    Fields fields;
    CMimeHeader header;
    const std::ptrdiff_t length = header.Load(source);
    *body = length > 0 ? source.substr(std::min(source.size(), std::size_t(length))) : source;
    for (const CMimeHeaderField& field : header.Fields())
        if (!field.GetName().empty())
            fields.emplace_back(field.GetName(), Unfolded(field.GetValue()));
    return fields;
}

// Names and values, long values cut short.
std::string Described(const Fields& fields) {
    std::string text;
    for (const auto& [name, value] : fields)
        text += "[" + name + ": " + value.substr(0, 40) + "] ";
    return text;
}

} // namespace

// The tree's properties and filters read a header through the store, the message file through
// the MIME model; both must see the same fields, and the file's body must begin where its header
// ends. The expected fields and bodies are what Python's email package (BytesParser) reads from
// the same bytes: a line that is no field and does not continue one ends the header and begins
// the body; a line that starts with white space before any field, a line with an empty name
// and a misplaced envelope line are passed over. Two readings follow RFC 5322's obsolete syntax
// instead: white space before the colon, and a CR without LF, which stays in the line rather
// than breaking it (so a CR at a line's start makes no empty line either).
TEST(HeaderFields, StoreAndMessageFileReadTheSameFields) {
    const std::string longValue(70000, 'x');
    const struct Case {
        const char* what;
        std::string source;
        Fields fields;
        std::string body;
    } cases[] = {
        {"blank before the colon",
         "Subject : spaced\r\nFrom\t: a@x\r\n\r\nbody\r\n",
         {{"Subject", "spaced"}, {"From", "a@x"}},
         "body\r\n"},
        {"folded first line", " folded first\r\nSubject: s\r\n\r\n", {{"Subject", "s"}}, ""},
        {"line without colon",
         "Subject: s\r\nNot a field\r\nTo: b@x\r\n\r\n",
         {{"Subject", "s"}},
         "Not a field\r\nTo: b@x\r\n\r\n"},
        {"line of spaces",
         "Subject: s\r\n   \r\nTo: b@x\r\n\r\nbody\r\n",
         {{"Subject", "s"}, {"To", "b@x"}},
         "body\r\n"},
        {"line of spaces before the body",
         "Subject: s\r\n \r\nbody text\r\n",
         {{"Subject", "s"}},
         "body text\r\n"},
        {"bare CR", "Subject: a\rb\r\nTo: c\r\n\r\n", {{"Subject", "a\rb"}, {"To", "c"}}, ""},
        {"CR at a line's start",
         "Subject: a\r\n\rX: y\r\nTo: c\r\n\r\n",
         {{"Subject", "a"}},
         "\rX: y\r\nTo: c\r\n\r\n"},
        {"NUL bytes",
         "Subject: a\0b\r\nX\0Y: z\r\nTo: c\r\n\r\n"s,
         {{"Subject", "a\0b"s}},
         "X\0Y: z\r\nTo: c\r\n\r\n"s},
        {"NUL at a line's start",
         "Subject: a\r\n\0To: c\r\n\r\n"s,
         {{"Subject", "a"}},
         "\0To: c\r\n\r\n"s},
        {"very long line",
         "Subject: " + longValue + "\r\nTo: c\r\n\r\n",
         {{"Subject", longValue}, {"To", "c"}},
         ""},
        {"bare LF and CR LF",
         "Subject: a\nTo: b\r\n\nBody: x\n",
         {{"Subject", "a"}, {"To", "b"}},
         "Body: x\n"},
        {"empty name",
         "Subject: s\r\n:no name\r\nTo: c\r\n\r\n",
         {{"Subject", "s"}, {"To", "c"}},
         ""},
        {"space inside a name",
         "Subject: s\r\nBad Name: x\r\nTo: c\r\n\r\n",
         {{"Subject", "s"}},
         "Bad Name: x\r\nTo: c\r\n\r\n"},
        {"8-bit name",
         "Subject: s\r\nS\xC3\xBC"
         "bject: x\r\nTo: c\r\n\r\n",
         {{"Subject", "s"}},
         "S\xC3\xBC"
         "bject: x\r\nTo: c\r\n\r\n"},
        {"envelope line inside",
         "Subject: s\r\nFrom a@x Sat Jan  3 01:05:34 1996\r\nTo: c\r\n\r\n",
         {{"Subject", "s"}, {"To", "c"}},
         ""},
        {"no line end at the end", "Subject: a\r\nTo: b", {{"Subject", "a"}, {"To", "b"}}, ""},
        {"cut inside the last line end",
         "Subject: a\r\nTo: b\r",
         {{"Subject", "a"}, {"To", "b"}},
         ""},
        {"vertical tab line",
         "A: 1\r\n\x0Bvt line\r\nB: 2\r\n\r\n",
         {{"A", "1"}},
         "\x0Bvt line\r\nB: 2\r\n\r\n"},
    };
    for (const Case& c : cases) {
        const Fields store = StoreFields(c.source);
        std::string body;
        const Fields file = FileFields(c.source, &body);
        EXPECT_TRUE(store == c.fields) << c.what << ": the store reads " << Described(store);
        EXPECT_TRUE(file == c.fields) << c.what << ": the message file reads " << Described(file);
        EXPECT_EQ(body, c.body) << c.what;
    }
}
