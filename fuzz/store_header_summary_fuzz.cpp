// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a message header and summarizes it, alone and after a separator
// line as the mbox store does. The texts must be UTF-8 whatever the header's bytes, the
// subject must be free of reply prefixes for good, the dates UTC, the priority one of three,
// and the separator's date must stand in for the Received fields without changing the rest.
#include "store/header/HeaderSummary.h"
#include "store/header/MessageHeader.h"
#include "store/mbox/MboxScanner.h"

#include <QByteArray>
#include <QDateTime>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// above U+10FFFF.
bool IsUtf8(const QByteArray& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = s[i];
        int more = 0;
        char32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

bool IsUtcOrInvalid(const QDateTime& date) {
    return !date.isValid() || date.timeSpec() == Qt::UTC;
}

bool SameTexts(const parcelo::HeaderSummary& a, const parcelo::HeaderSummary& b) {
    return a.displayFrom == b.displayFrom && a.displayTo == b.displayTo &&
           a.normalSubject == b.normalSubject && a.sent == b.sent && a.priority == b.priority;
}

void CheckSummary(const parcelo::HeaderSummary& summary) {
    Check(IsUtf8(summary.displayFrom));
    Check(IsUtf8(summary.displayTo));
    Check(IsUtf8(summary.normalSubject));
    Check(parcelo::NormalizeSubject(summary.normalSubject) == summary.normalSubject);
    Check(IsUtcOrInvalid(summary.sent) && IsUtcOrInvalid(summary.firstReceived));
    Check(summary.priority == parcelo::IMSG_PRI_HIGH ||
          summary.priority == parcelo::IMSG_PRI_NORMAL ||
          summary.priority == parcelo::IMSG_PRI_LOW);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const parcelo::MessageHeader header(input);
    for (const parcelo::MessageHeader::Field& field : header.fields()) {
        Check(!field.name.isEmpty() && !field.name.contains(':') && !field.name.contains('\n'));
        Check(!field.value.contains('\n') && field.value == field.value.trimmed());
    }
    const parcelo::HeaderSummary summary = parcelo::SummarizeHeader(header);
    CheckSummary(summary);
    const parcelo::HeaderSummary withoutReceived = parcelo::SummarizeHeader(header, false);
    Check(SameTexts(summary, withoutReceived) && !withoutReceived.firstReceived.isValid());

    // The first line as an mbox separator line, the rest as the message's header.
    const qsizetype newline = input.indexOf('\n');
    const QByteArray separator = newline < 0 ? input : input.left(newline + 1);
    const QByteArray rest = newline < 0 ? QByteArray() : input.mid(newline + 1);
    parcelo::HeaderSummary mbox;
    QDateTime received;
    parcelo::SummarizeMboxMessage(separator, rest, &mbox, &received);
    CheckSummary(mbox);
    Check(IsUtcOrInvalid(received));
    const parcelo::HeaderSummary alone = parcelo::SummarizeHeader(parcelo::MessageHeader(rest));
    Check(SameTexts(mbox, alone));
    Check(received.isValid() ? !mbox.firstReceived.isValid()
                             : mbox.firstReceived == alone.firstReceived);
    return 0;
}
