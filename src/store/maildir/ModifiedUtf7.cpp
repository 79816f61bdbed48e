// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/maildir/ModifiedUtf7.h"

#include <QByteArray>

namespace parcelo {

QString DecodeModifiedUtf7(const QString& name) {
    QString result;
    qsizetype i = 0;
    while (i < name.size()) {
        const QChar c = name[i];
        if (c != QLatin1Char('&')) {
            result.append(c);
            ++i;
            continue;
        }
        const qsizetype end = name.indexOf(QLatin1Char('-'), i + 1);
        if (end < 0)
            return name;
        if (end == i + 1) {
            result.append(QLatin1Char('&'));
            i = end + 1;
            continue;
        }
        QByteArray base64 = name.mid(i + 1, end - i - 1).toLatin1();
        base64.replace(',', '/');
        const auto decoded = QByteArray::fromBase64Encoding(
            base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
        // fromBase64Encoding wants padding; modified UTF-7 leaves it out.
        QByteArray bytes;
        if (decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok) {
            bytes = decoded.decoded;
        } else {
            while (base64.size() % 4 != 0)
                base64.append('=');
            const auto padded = QByteArray::fromBase64Encoding(
                base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            if (padded.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
                return name;
            bytes = padded.decoded;
        }
        if (bytes.size() % 2 != 0)
            return name;
        for (qsizetype k = 0; k + 1 < bytes.size(); k += 2)
            result.append(QChar(char16_t((uchar(bytes[k]) << 8) | uchar(bytes[k + 1]))));
        i = end + 1;
    }
    return result;
}

} // namespace parcelo
