// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tree/TreePath.h"

#include <QStringList>

namespace parcelo {

namespace {

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'a' && c <= 'f')
        return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

// The length of the well-formed UTF-8 sequence at i, with its code point; 0 when the byte at
// i does not start one (a stray continuation, an overlong form, a surrogate, a cut sequence).
int utf8SequenceAt(const QByteArray& bytes, qsizetype i, char32_t* codePoint) {
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes.at(k)); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendEscaped(QString* out, const QByteArray& bytes, qsizetype from, int count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int k = 0; k < count; ++k) {
        const auto byte = static_cast<unsigned char>(bytes.at(from + k));
        out->append(u'%');
        out->append(QLatin1Char(kHex[byte >> 4]));
        out->append(QLatin1Char(kHex[byte & 0x0F]));
    }
}

} // namespace

QString TreePathName(const QByteArray& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        char32_t c = 0;
        const int length = utf8SequenceAt(name, i, &c);
        if (length == 0) {
            appendEscaped(&out, name, i, 1);
            ++i;
            continue;
        }
        const bool escapesItself = c == '%' && i + 2 < name.size() &&
                                   hexValue(static_cast<unsigned char>(name.at(i + 1))) >= 0 &&
                                   hexValue(static_cast<unsigned char>(name.at(i + 2))) >= 0;
        if (c == '\\' || escapesItself || isControl(c))
            appendEscaped(&out, name, i, length);
        else
            out.append(QString::fromUtf8(name.constData() + i, length));
        i += length;
    }
    return out;
}

QByteArray TreePathNameBytes(const QString& written) {
    QByteArray bytes;
    for (qsizetype i = 0; i < written.size(); ++i) {
        if (written.at(i) == u'%' && i + 2 < written.size() &&
            hexValue(written.at(i + 1).unicode()) >= 0 &&
            hexValue(written.at(i + 2).unicode()) >= 0) {
            bytes.append(char(hexValue(written.at(i + 1).unicode()) * 16 +
                              hexValue(written.at(i + 2).unicode())));
            i += 2;
        } else if (written.at(i).isHighSurrogate() && i + 1 < written.size()) {
            bytes.append(written.mid(i, 2).toUtf8());
            ++i;
        } else {
            bytes.append(QString(written.at(i)).toUtf8());
        }
    }
    return bytes;
}

QString CanonicalTreePath(const QString& path) {
    QStringList names = path.split(u'\\');
    for (QString& name : names)
        name = TreePathName(TreePathNameBytes(name));
    return names.join(u'\\');
}

} // namespace parcelo
