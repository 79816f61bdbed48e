// SPDX-License-Identifier: GPL-3.0-or-later
// Parses arbitrary bytes as an RFC 5322 date and as an mbox separator line. A date read
// must be in UTC, and a date written in RFC 5322 form must read back as the same instant.
#include "mailtext/Rfc5322Date.h"

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

void CheckRoundTrip(const QDateTime& date) {
    if (!date.isValid())
        return;
    Check(date.timeSpec() == Qt::UTC);
    if (date.date().year() < 1900 || date.date().year() > 9999)
        return;
    const QDateTime whole = date.addMSecs(-date.time().msec());
    const QByteArray text = whole.toString(Qt::RFC2822Date).toLatin1();
    Check(parcelo::ParseRfc5322Date(text) == whole);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckRoundTrip(parcelo::ParseRfc5322Date(input));
    CheckRoundTrip(parcelo::ParseMboxFromLineDate("From sender " + input));
    CheckRoundTrip(parcelo::ParseMboxFromLineDate(input));
    return 0;
}
